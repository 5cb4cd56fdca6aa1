#include "interface/interface_parts.h"

namespace vesk {

InterfaceParts& GetInterfaceParts() {
    static InterfaceParts parts;
    return parts;
}

} // namespace vesk
