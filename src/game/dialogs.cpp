#include "game/dialogs.h"

#include <lua.hpp>

#include <algorithm>
#include <utility>

#include "core/lua_functions.h"
#include "core/lua_machine.h"
#include "core/lua_readers.h"
#include "game/game_lua.h"
#include "platform/files.h"
#include "platform/text.h"
#include "shared/errors.h"
#include "shared/helpers.h"

namespace vesk {

std::unique_ptr<TGameDialog> GameDialog;
std::string DialogFileName;

namespace {

// Nesting deeper than this is read as a flat level: the tree is walked recursively.
constexpr int kMaxLevelDepth = 64;
// Substitutions per text: a value that brings new brackets must not loop for ever.
constexpr int kMaxSubstitutions = 64;

bool LuaReady() {
    return LuaMachine && LuaMachine->IsOpen();
}

void RunChunk(const std::string& code) {
    if (LuaReady()) LuaMachine->RunString(code);
}

// The truth of an expression, read back through the global a.
bool GetLuaBool(const std::string& expression) {
    if (!LuaReady()) return false;
    LuaMachine->RunString("a=\"\"");
    LuaMachine->RunString("a=" + expression);
    lua_State* L = LuaMachine->State();
    lua_getglobal(L, "a");
    const bool value = lua_toboolean(L, -1) != 0;
    lua_pop(L, 1);
    return value;
}

// The expression's text split at each "^"; text after the last "^" is dropped.
std::vector<std::string> GetLuaStringList(const std::string& expression) {
    const std::string text = GetLuaString(expression, false);
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (std::size_t hat = text.find('^'); hat != std::string::npos; hat = text.find('^', start)) {
        pieces.push_back(text.substr(start, hat - start));
        start = hat + 1;
    }
    return pieces;
}

void SplitLines(const std::string& bytes, std::vector<std::string>& lines) {
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
}

std::size_t FindNoCase(const std::string& text, const std::string& upperNeedle) {
    return platform::UpperCaseCp1251(text).find(upperNeedle);
}

} // namespace

// ---- scripts and elements -------------------------------------------------------------------------

bool TDialogScript::Eval() {
    std::string code;
    if (!src.empty() && owner_) code = owner_->ScriptSource(src);
    code += text;
    if (!IsCondition()) {
        RunChunk(code);
        return false;
    }
    if (text == "TRUE") return true;
    if (text == "FALSE") return false;
    return GetLuaBool(code);
}

bool TDialogElement::ConditionsPass() {
    for (auto& s : scripts)
        if (s->IsCondition()) return s->Eval();
    return true;
}

void TDialogElement::RunScripts() {
    // By index: a script may add nothing here, but the list is not ours to hold iterators on.
    for (std::size_t i = 0; i < scripts.size(); ++i)
        if (!scripts[i]->IsCondition()) scripts[i]->Eval();
}

// ---- the engine ---------------------------------------------------------------------------------------

TGameDialog::TGameDialog()
    : levels_(std::make_unique<TDialogElement>(nullptr)),
      answers_(std::make_unique<TDialogElement>(nullptr)) {
    levels_->kind = 1;
    answers_->kind = 1;
}

TGameDialog::~TGameDialog() = default;

std::string TGameDialog::ScriptSource(const std::string& src) const {
    for (const auto& s : library_)
        if (s->label == src) return s->text + "\r";
    std::vector<std::string> lines;
    std::string code;
    if (ReadDialogFile(src, lines))
        for (const auto& line : lines) code += line + "\r";
    return code;
}

bool TGameDialog::ReadDialogFile(const std::string& fileName, std::vector<std::string>& lines) const {
    if (fileName.empty()) return false;
    const std::string path = ResolveModPath(dialogsPath_ + fileName);
    std::string bytes;
    if (!platform::FileExists(path) || !platform::ReadFile(path, bytes)) return false;
    SplitLines(bytes, lines);
    return true;
}

// ---- tokenizer ----------------------------------------------------------------------------------------

bool TGameDialog::NextLine() {
    if (nextLine_ >= lines_.size()) return false;
    rest_ = lines_[nextLine_++];
    // A comment runs to the line's end wherever it starts.
    const std::size_t comment = rest_.find("//");
    if (comment != std::string::npos) rest_.resize(comment);
    return true;
}

bool TGameDialog::ReadTag(const char* expected) {
    tagName_.clear();
    attrs_.clear();
    tagText_.clear();
    std::size_t lt = std::string::npos;
    std::size_t gt = std::string::npos;
    for (;;) {
        if (rest_.empty() && !NextLine()) return false;
        lt = rest_.find('<');
        gt = lt == std::string::npos ? std::string::npos : rest_.find('>', lt + 1);
        if (gt != std::string::npos) break;
        rest_.clear(); // a line without a tag is dropped whole
    }
    const std::string tag = rest_.substr(lt + 1, gt - lt - 1);
    std::string after = rest_.substr(gt + 1);
    const std::size_t blank = tag.find(' ');
    tagName_ = platform::UpperCaseCp1251(tag.substr(0, blank));

    if (tagName_ == "SCRIPT") {
        const std::size_t close = FindNoCase(after, "</SCRIPT>");
        if (close == std::string::npos) {
            tagText_ = std::move(after);
            rest_.clear();
        } else {
            tagText_ = after.substr(0, close);
            rest_ = after.substr(close + 9);
        }
    } else {
        const std::size_t next = after.find('<');
        tagText_ = after.substr(0, next);
        rest_ = next == std::string::npos ? std::string() : after.substr(next);
    }

    if (blank != std::string::npos) {
        std::string s = tag.substr(blank + 1);
        while (!s.empty()) {
            const std::size_t eq = s.find("=\"");
            if (eq == std::string::npos) break;
            const std::size_t start = eq + 2;
            const std::size_t end = s.find('"', start);
            if (end == std::string::npos) {
                FastLogAdd(Ru("Ошибка синтаксиса диалога ") + name_ +
                           Ru(". Ошибка в описании параметра тега"));
                break;
            }
            // Attributes past the eighth are not kept.
            if (attrs_.size() < static_cast<std::size_t>(kDialogMaxAttrs))
                attrs_.push_back({platform::UpperCaseCp1251(s.substr(0, eq)), s.substr(start, end - start)});
            s = end + 2 < s.size() ? s.substr(end + 2) : std::string();
        }
    }
    return expected == nullptr || tagName_ == expected;
}

std::string TGameDialog::RawAttr(const char* key) const {
    for (const auto& a : attrs_)
        if (a.key == key) return a.value;
    return {};
}

std::string TGameDialog::GetAttr(const char* key) const {
    return platform::UpperCaseCp1251(RawAttr(key));
}

std::unique_ptr<TDialogScript> TGameDialog::MakeScript() {
    auto s = std::make_unique<TDialogScript>(this);
    s->text = tagText_;
    s->type = GetAttr("TYPE");
    s->src = GetAttr("SRC");
    s->label = GetAttr("LABEL");
    return s;
}

// ---- loading --------------------------------------------------------------------------------------------

void TGameDialog::Reset() {
    // Scripts run from inside the walk may load another dialog: the old tree
    // lives on until the outermost call returns.
    retired_.push_back(std::move(levels_));
    retired_.push_back(std::move(answers_));
    for (auto& s : library_) retiredScripts_.push_back(std::move(s));
    library_.clear();
    levels_ = std::make_unique<TDialogElement>(nullptr);
    answers_ = std::make_unique<TDialogElement>(nullptr);
    levels_->kind = 1;
    answers_->kind = 1;
    current_ = nullptr;
    // The answers named elements of the tree just let go.
    state_.answerCount = 0;
    state_.answerElement.fill(nullptr);
    for (auto& t : state_.answerText) t.clear();
    for (auto& t : state_.answerType) t.clear();
    if (busy_ == 0) ReleaseRetired();
}

void TGameDialog::ReleaseRetired() {
    retired_.clear();
    retiredScripts_.clear();
}

int TGameDialog::LoadDialog(const std::string& fileName, const std::string& a, const std::string& b) {
    lastNpc_ = 0;
    const std::string path = ResolveModPath(dialogsPath_ + fileName);
    std::string bytes;
    if (!platform::FileExists(path) || !platform::ReadFile(path, bytes)) {
        FastLogAdd(Ru("Ошибка загрузки файла диалога. Файл не найден"));
        return -1;
    }
    Busy guard(*this);
    Reset();
    fileName_ = fileName;
    lines_.clear();
    SplitLines(bytes, lines_);
    nextLine_ = 0;
    rest_.clear();

    int result = 0;
    if (!ReadTag("HEAD")) {
        FastLogAdd(Ru("Ошибка загрузки файла диалога. Файл не содержит тег <HEAD>"));
        result = -2;
    } else {
        if (const std::string n = GetAttr("NAME"); !n.empty()) name_ = n;
        if (const std::string au = RawAttr("AUTH"); !au.empty()) author_ = platform::LowerCaseCp1251(au);
        if (!ReadTag("DIALOG")) {
            FastLogAdd(Ru("Ошибка загрузки файла диалога. Файл не содержит тег <DIALOG>"));
            result = -3;
        }
    }
    if (result == 0 && !attrs_.empty() && attrs_.front().key == "INCLUDES")
        if (!ParseIncludes(attrs_.front().value, a, b)) result = 1;
    if (result == 0) {
        for (;;) {
            ReadTag(nullptr);
            if (tagName_.empty()) break;
            if (tagName_ == "LEVEL")
                ParseLevel(levels_.get(), 0);
            else if (tagName_ == "ANSWERS")
                ParseLevel(answers_.get(), 0);
            else if (tagName_ == "LIBRARY")
                ParseLibrary();
        }
        lines_.clear();
        rest_.clear();
        current_ = levels_.get();
        Continue(levels_.get());
    }
    lines_.clear();
    rest_.clear();
    // Wrong NPC data has been reported as fatal; the load ends there.
    return result > 0 ? 0 : result;
}

bool TGameDialog::ParseIncludes(const std::string& list, const std::string& a, const std::string& b) {
    std::vector<std::string> items;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = list.find(',', start);
        items.push_back(list.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    std::size_t restStart = 0;
    for (std::size_t i = 0; i < items.size() && i < static_cast<std::size_t>(kDialogMaxNpc); ++i) {
        const std::string& item = items[i];
        restStart += item.size() + 1;
        TDialogNpc npc;
        npc.alias = item;
        npc.a = a;
        npc.b = b;
        const std::size_t eq = item.find('=');
        if (eq != std::string::npos) {
            npc.alias = item.substr(0, eq);
            const std::string ab = item.substr(eq + 1);
            const std::size_t dot = ab.find('.');
            if (dot == std::string::npos) {
                ErrorReport("function TGameDialog.LoadDialog fault - wrong NPC data in script " + fileName_ +
                                ". Check tag \"<dialog includes=...\"",
                            "mhl");
                return false;
            }
            npc.a = ab.substr(0, dot);
            npc.b = ab.substr(dot + 1);
        }
        const auto pieces = GetLuaStringList("getPersFace(" + LuaQuote(npc.a) + "," + LuaQuote(npc.b) + ")");
        if (pieces.size() != 3) {
            if (i + 1 < items.size())
                ErrorReport(
                    "function TGameDialog.LoadDialog fault: invalid NPC data or \"getPersFace\" fault - " +
                        (restStart < list.size() ? list.substr(restStart) : std::string()),
                    "mhl");
            else
                ErrorReport("function TGameDialog.LoadDialog fault: invalid NPC data -" + item, "mhl");
            return false;
        }
        npc.name = pieces[0];
        npc.head = pieces[1];
        npc.duty = pieces[2];
        npcs_[i] = std::move(npc);
        lastNpc_ = static_cast<int>(i);
    }
    return true;
}

void TGameDialog::ParseLevel(TDialogElement* parent, int depth) {
    auto owned = std::make_unique<TDialogElement>(parent);
    TDialogElement* level = owned.get();
    level->kind = 1;
    level->label = GetAttr("LABEL");
    level->auth = platform::LowerCaseCp1251(RawAttr("AUTH"));
    parent->children.push_back(std::move(owned));
    std::string previous = "LEVEL";
    TDialogElement* lastCue = nullptr;
    for (;;) {
        ReadTag(nullptr);
        if (tagName_.empty()) break; // not closed before the end of the file: the level ends there
        if (tagName_ == "SCRIPT") {
            if (previous == "LEVEL")
                level->scripts.push_back(MakeScript());
            else if (lastCue)
                lastCue->scripts.push_back(MakeScript());
        } else if (tagName_ == "CUE") {
            auto cue = std::make_unique<TDialogElement>(level);
            cue->text = tagText_;
            cue->label = GetAttr("LABEL");
            cue->jump = GetAttr("JUMP");
            cue->def = GetAttr("DEFAULT");
            cue->at = GetAttr("AT");
            cue->type = GetAttr("TYPE");
            lastCue = cue.get();
            level->children.push_back(std::move(cue));
        } else if (tagName_ == "LEVEL") {
            // A level before any cue, or nested too deep, has no place in the tree.
            if (lastCue && depth < kMaxLevelDepth) {
                ParseLevel(lastCue, depth + 1);
            } else {
                TDialogElement dropped(nullptr);
                if (depth < kMaxLevelDepth) ParseLevel(&dropped, depth + 1);
            }
            tagName_ = "CUE";
        }
        previous = tagName_;
        if (!tagName_.empty() && tagName_[0] == '/') break;
    }
}

void TGameDialog::ParseLibrary() {
    for (;;) {
        ReadTag(nullptr);
        if (tagName_.empty()) return;
        if (tagName_ == "SCRIPT") library_.push_back(MakeScript());
    }
}

// ---- playing --------------------------------------------------------------------------------------------

bool TGameDialog::Continue(TDialogElement* element) {
    for (std::size_t i = 0; i < element->children.size(); ++i) {
        TDialogElement* level = element->children[i].get();
        if (!level->ConditionsPass()) continue;
        level->RunScripts();
        if (level->auth.empty())
            ShowAnswers(level);
        else if (!level->children.empty())
            SayFrom(level->children.front().get());
        return false;
    }
    return false;
}

void TGameDialog::ShowAnswers(TDialogElement* level) {
    state_.answerCount = 0;
    for (std::size_t i = 0; i < level->children.size(); ++i) {
        TDialogElement* cue = level->children[i].get();
        if (cue->ConditionsPass()) AddAnswer(cue);
    }
}

void TGameDialog::AddAnswer(TDialogElement* cue) {
    if (LoadNormalAnswers(cue->def)) return;
    if (state_.answerCount >= kDialogMaxAnswers) return;
    const auto i = static_cast<std::size_t>(state_.answerCount++);
    state_.answerText[i] = ResolveText(cue);
    state_.answerElement[i] = cue;
    state_.answerType[i] = cue->type;
}

bool TGameDialog::LoadNormalAnswers(const std::string& fileName) {
    std::vector<std::string> lines;
    if (!ReadDialogFile(fileName, lines) || lines.empty()) return false;
    if (platform::UpperCaseCp1251(lines.front()).find("NORMAL") == std::string::npos) return false;
    // The answer file is read with the tag reader: keep the dialog file's place.
    std::vector<std::string> savedLines;
    std::swap(savedLines, lines_);
    const std::size_t savedNext = nextLine_;
    std::string savedRest;
    std::swap(savedRest, rest_);
    for (std::size_t n = 1; n < lines.size(); ++n) {
        lines_.clear();
        rest_.clear();
        lines_.push_back(lines[n]);
        nextLine_ = 0;
        if (!ReadTag("CUE")) continue; // a line without both tags is skipped
        const std::string text = tagText_;
        const std::string type = GetAttr("TYPE");
        if (!ReadTag("SCRIPT")) continue;
        TDialogScript condition(this);
        condition.text = tagText_;
        condition.type = GetAttr("TYPE");
        condition.src = GetAttr("SRC");
        condition.label = GetAttr("LABEL");
        if (!condition.Eval() || state_.answerCount >= kDialogMaxAnswers) continue;
        const auto i = static_cast<std::size_t>(state_.answerCount++);
        state_.answerText[i] = text;
        state_.answerElement[i] = nullptr;
        state_.answerType[i] = type;
    }
    lines_ = std::move(savedLines);
    nextLine_ = savedNext;
    rest_ = std::move(savedRest);
    return lines.size() > 1;
}

void TGameDialog::SayFrom(TDialogElement* cue) {
    TDialogElement* level = cue->owner;
    if (!level || level->children.empty()) return;
    std::size_t i = 0;
    while (i < level->children.size() && level->children[i].get() != cue) ++i;
    for (; i < level->children.size(); ++i) {
        if (level->children[i]->ConditionsPass()) {
            Say(level->children[i].get());
            return;
        }
    }
    Say(level->children.back().get());
}

void TGameDialog::SetSingleAnswer(const std::string& text, TDialogElement* cue) {
    state_.answerCount = 1;
    state_.answerText[0] = text;
    state_.answerElement[0] = cue;
    state_.answerType[0] = cue->type;
}

void TGameDialog::Say(TDialogElement* cue) {
    cue->RunScripts();
    const TDialogElement* level = cue->owner;
    const std::string auth = level ? level->auth : std::string();
    for (int i = 0; i <= lastNpc_ && i < kDialogMaxNpc; ++i) {
        if (npcs_[static_cast<std::size_t>(i)].alias == auth) {
            state_.npc = npcs_[static_cast<std::size_t>(i)];
            break;
        }
    }
    state_.cue = ResolveText(cue);

    if (!cue->jump.empty()) {
        if (TDialogElement* target = FindLabel(cue->jump)) {
            TDialogElement* targetLevel = target->IsLevel() ? target : target->owner;
            if (targetLevel && targetLevel->auth.empty()) {
                ShowAnswers(targetLevel);
                return;
            }
        }
        // An unknown label is reported when the player goes on.
    } else if (cue->children.empty()) {
        SetSingleAnswer(Ru("Конец диалога."), cue);
        return;
    } else {
        TDialogElement* next = nullptr;
        for (auto& child : cue->children)
            if (child->ConditionsPass()) {
                next = child.get();
                break;
            }
        if (!next) return;
        if (next->auth.empty()) {
            ShowAnswers(next);
            return;
        }
    }
    SetSingleAnswer(Ru("Далее..."), cue);
}

bool TGameDialog::ChooseAnswer(int n) {
    if (n < 0 || n >= state_.answerCount) return false;
    const auto i = static_cast<std::size_t>(n);
    Busy guard(*this);
    TDialogElement* element = state_.answerElement[i];
    const std::string type = state_.answerType[i];
    if (!element && type.empty()) return false;
    current_ = element;
    if (element) element->RunScripts();
    if (!type.empty()) {
        chosenType_ = type;
        ReactToAnswerType();
        return true;
    }
    if (!element) return false;
    if (!element->jump.empty()) return JumpToNextDialog(element->jump);
    if (element->children.empty()) return false;
    Continue(element);
    return false;
}

void TGameDialog::ReactToAnswerType() {
    state_.answerCount = 0;
    const std::string alias = state_.npc.alias;
    for (auto& level : answers_->children) {
        if (level->auth != alias) continue;
        for (auto& cue : level->children) {
            if (cue->at == chosenType_) {
                Say(cue.get());
                return;
            }
        }
    }
}

namespace {
TDialogElement* FindLabelIn(TDialogElement* element, const std::string& label) {
    for (auto& child : element->children) {
        if (child->label == label) return child.get();
        if (TDialogElement* found = FindLabelIn(child.get(), label)) return found;
    }
    return nullptr;
}
} // namespace

TDialogElement* TGameDialog::FindLabel(const std::string& label) {
    return FindLabelIn(levels_.get(), label);
}

bool TGameDialog::JumpToNextDialog(const std::string& label) {
    TDialogElement* found = FindLabel(label);
    if (!found) {
        ErrorReport("TGameDialog.JumpToNextDialog fault - label not found: \"" + label + "\". Check script " +
                        name_,
                    "mhl");
        return false;
    }
    if (!found->IsLevel()) {
        if (found->owner && !found->owner->auth.empty())
            SayFrom(found);
        else if (found->owner)
            ShowAnswers(found->owner);
    } else if (!found->auth.empty()) {
        if (!found->children.empty()) SayFrom(found->children.front().get());
    } else {
        ShowAnswers(found);
    }
    return true;
}

std::string TGameDialog::ResolveText(TDialogElement* cue) {
    std::vector<std::string> lines;
    if (ReadDialogFile(cue->def, lines) && !lines.empty() &&
        lines.front().find("RANDOM") != std::string::npos) {
        const std::size_t count = std::min<std::size_t>(lines.size() - 1, kDialogMaxPhrases);
        if (count == 0) {
            cue->text.clear();
        } else {
            std::uniform_int_distribution<std::size_t> pick(1, count);
            cue->text = lines[pick(random_)];
        }
    }
    std::string text = cue->text;
    std::size_t from = 0;
    for (int n = 0; n < kMaxSubstitutions; ++n) {
        const std::size_t open = text.find('[', from);
        if (open == std::string::npos) break;
        const std::size_t close = text.find(']', open + 1);
        if (close == std::string::npos) break;
        const std::string name = text.substr(open + 1, close - open - 1);
        const std::string value = GetLuaString("DialogVar(" + LuaQuote(name) + ")", false);
        text.replace(open, close - open + 1, value);
        from = open;
    }
    return text;
}

std::string TGameDialog::StateText() const {
    std::string out = "NPCName=" + state_.npc.name + "^" + "NPCDuty=" + state_.npc.duty + "^" +
                      "NPCHead=" + state_.npc.head + "^" + "NPCCue=" + state_.cue + "^";
    for (int i = 0; i < state_.answerCount; ++i)
        out += "Answer_" + std::to_string(i + 1) + "=" + state_.answerText[static_cast<std::size_t>(i)] + "^";
    return out;
}

// ---- the run's dialog engine and its script functions --------------------------------------------------

void CreateGameDialog(const std::string& dialogsPath) {
    GameDialog = std::make_unique<TGameDialog>();
    GameDialog->SetDialogsPath(dialogsPath);
}

void FreeGameDialog() {
    GameDialog.reset();
}

namespace {

// engine_LoadDialog(file, A, B): the load's code. Without a file name the
// default dialog file is loaded.
int engine_LoadDialog(lua_State* L) {
    if (!GameDialog) return 0;
    std::string file = LuaArgText(L, 1);
    if (file.empty()) file = DialogFileName;
    const int code = GameDialog->LoadDialog(file, LuaArgText(L, 2), LuaArgText(L, 3));
    lua_pushnumber(L, code);
    return 1;
}

// engine_GetDialog([answer]): with an answer number (1 to the answer count)
// the player's choice is made first; the result is the dialog's state.
int engine_GetDialog(lua_State* L) {
    if (!GameDialog) return 0;
    if (lua_gettop(L) >= 1 && lua_isnumber(L, 1)) {
        const lua_Number n = lua_tonumber(L, 1);
        if (n >= 1 && n <= kDialogMaxAnswers) GameDialog->ChooseAnswer(static_cast<int>(n) - 1);
    }
    const std::string text = GameDialog->StateText();
    lua_pushlstring(L, text.data(), text.size());
    return 1;
}

} // namespace

void RegisterDialogFunctions() {
    SetEngineFunction("engine_LoadDialog", engine_LoadDialog);
    SetEngineFunction("engine_GetDialog", engine_GetDialog);
}

} // namespace vesk
