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
    // The template at i, nullptr when it is gone.
    TBaseRenderUnit* At(int i) const;
    // Frees every live template and empties the list.
    void FreeAll();
    // Hands every live template to the deferred destruction (from the head) and empties the list.
    void ReleaseAll();
    // Empties the list; the templates stay.
    void Clear() { ids_.clear(); }

private:
    std::vector<int32_t> ids_;
};

// The registered effect templates, filled by the effect loader: every template
// in the order of loading, the jet templates among them, and those the loader
// owns and releases when it loads again (all but the pooled particles).
extern FXTemplateList FXTemplates;
extern FXTemplateList FXJetTemplates;
extern FXTemplateList FXOwnedTemplates;
// Empties the three lists; the owned templates are released (deferred), so
// units spawned from them in the same frame stay valid until the next flush.
void FreeFXTemplates();

} // namespace vesk
