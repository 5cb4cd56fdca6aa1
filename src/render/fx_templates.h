#pragma once
// Effect templates: render units registered once by name, of which every
// effect in the scene is a copy, and the configuration an effect is spawned from.
#include "render/render_unit.h"

#include <string>
#include <vector>

namespace vesk {

// The configuration of an effect to spawn (asked for with Query).
class IFXConfigBase {
public:
    // The unit under which the copy goes.
    virtual TBaseRenderUnit* GetParentBRU() = 0;
    // Takes the spawned effect.
    virtual void SetFX(TBaseRenderUnit* effect) = 0;

protected:
    ~IFXConfigBase() = default;
};

// An ordered list of templates. It keeps ids, so a template freed elsewhere
// is skipped rather than reached.
class FXTemplateList {
public:
    void Add(TBaseRenderUnit* unit);
    // The first live template named exactly so (letter case counts), or nullptr.
    TBaseRenderUnit* Find(const std::string& name) const;
    int Count() const { return static_cast<int>(ids_.size()); }
    // Frees every live template and empties the list.
    void FreeAll();

private:
    std::vector<int32_t> ids_;
};

// The registered effect templates, filled by the effect loader.
extern FXTemplateList FXTemplates;
void FreeFXTemplates();

} // namespace vesk
