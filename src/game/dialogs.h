#pragma once
// The dialog engine: conversations between the player and the characters,
// read from tagged text files under the dialogs folder into a tree of levels
// and cues. It picks the character's line and the answers offered, runs the
// Lua snippets attached to the elements and fills the state the interface
// scripts read through engine_GetDialog.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace vesk {

class TGameDialog;

inline constexpr int kDialogMaxNpc = 21;
inline constexpr int kDialogMaxAnswers = 21;
inline constexpr int kDialogMaxAttrs = 8;
inline constexpr int kDialogMaxPhrases = 100;

class TDialogScript {
public:
    explicit TDialogScript(TGameDialog* owner) : owner_(owner) {}
    // A condition gives its truth; an action runs and gives false.
    bool Eval();
    bool IsCondition() const { return type == "CONDITION"; }

    std::string text;
    std::string type;
    std::string src;
    std::string label;

private:
    TGameDialog* owner_;
};

class TDialogElement {
public:
    explicit TDialogElement(TDialogElement* owner) : owner(owner) {}
    // The first condition decides; true without one.
    bool ConditionsPass();
    // Every action script, in order.
    void RunScripts();
    bool IsLevel() const { return kind == 1; }

    TDialogElement* owner;
    std::vector<std::unique_ptr<TDialogScript>> scripts;
    std::vector<std::unique_ptr<TDialogElement>> children;
    uint8_t kind = 0; // 1 level, 0 cue
    std::string text;
    std::string label;
    std::string at;
    std::string def;
    std::string jump;
    std::string type;
    std::string auth;
};

struct TDialogNpc {
    std::string alias, a, b, name, duty, head;
};

struct TDialogState {
    TDialogNpc npc;
    std::string cue;
    int answerCount = 0;
    std::array<std::string, kDialogMaxAnswers> answerText;
    std::array<TDialogElement*, kDialogMaxAnswers> answerElement{};
    std::array<std::string, kDialogMaxAnswers> answerType;
};

class TGameDialog {
public:
    TGameDialog();
    ~TGameDialog();
    TGameDialog(const TGameDialog&) = delete;
    TGameDialog& operator=(const TGameDialog&) = delete;

    void SetDialogsPath(const std::string& path) { dialogsPath_ = path; }
    const std::string& DialogsPath() const { return dialogsPath_; }
    // 0, or -1 file not found, -2 no HEAD tag, -3 no DIALOG tag.
    int LoadDialog(const std::string& fileName, const std::string& a, const std::string& b);
    // n: the 0-based index of the answer chosen.
    bool ChooseAnswer(int n);
    void GetState(TDialogState& record) const { record = state_; }
    const TDialogState& State() const { return state_; }
    // The state as engine_GetDialog hands it to the scripts.
    std::string StateText() const;

    const std::string& Name() const { return name_; }
    const std::string& Author() const { return author_; }
    TDialogElement& Levels() { return *levels_; }
    TDialogElement& Answers() { return *answers_; }
    const std::vector<std::unique_ptr<TDialogScript>>& Library() const { return library_; }
    int LastNpc() const { return lastNpc_; }
    const TDialogNpc& Npc(int i) const { return npcs_[static_cast<std::size_t>(i)]; }
    // The source of a script's SRC: the library script of that label, else the file's lines.
    std::string ScriptSource(const std::string& src) const;

private:
    struct Attr {
        std::string key, value;
    };
    // Marks a public call in progress: trees let go meanwhile are freed when the last one returns.
    struct Busy {
        explicit Busy(TGameDialog& d) : dialog(d) { ++dialog.busy_; }
        ~Busy() {
            if (--dialog.busy_ == 0) dialog.ReleaseRetired();
        }
        TGameDialog& dialog;
    };
    void ReleaseRetired();
    // Tokenizer.
    bool NextLine();
    bool ReadTag(const char* expected);
    std::string GetAttr(const char* key) const;
    std::string RawAttr(const char* key) const;

    void Reset();
    bool ParseIncludes(const std::string& list, const std::string& a, const std::string& b);
    void ParseLevel(TDialogElement* parent, int depth);
    void ParseLibrary();
    std::unique_ptr<TDialogScript> MakeScript();

    bool Continue(TDialogElement* element);
    void ShowAnswers(TDialogElement* level);
    void AddAnswer(TDialogElement* cue);
    bool LoadNormalAnswers(const std::string& fileName);
    void SayFrom(TDialogElement* cue);
    void Say(TDialogElement* cue);
    void ReactToAnswerType();
    bool JumpToNextDialog(const std::string& label);
    TDialogElement* FindLabel(const std::string& label);
    std::string ResolveText(TDialogElement* cue);
    void SetSingleAnswer(const std::string& text, TDialogElement* cue);
    bool ReadDialogFile(const std::string& fileName, std::vector<std::string>& lines) const;

    std::unique_ptr<TDialogElement> levels_;
    std::unique_ptr<TDialogElement> answers_;
    std::vector<std::unique_ptr<TDialogScript>> library_;
    std::string name_ = "NoName";
    std::string author_ = "Unknow";
    std::array<TDialogNpc, kDialogMaxNpc> npcs_;
    int lastNpc_ = 0;
    TDialogElement* current_ = nullptr;
    TDialogState state_;
    std::string chosenType_;
    std::mt19937 random_;
    int busy_ = 0;
    std::vector<std::unique_ptr<TDialogElement>> retired_;
    std::vector<std::unique_ptr<TDialogScript>> retiredScripts_;

    // Tokenizer state.
    std::string tagName_;
    std::vector<Attr> attrs_;
    std::string tagText_;
    std::string rest_;
    std::vector<std::string> lines_;
    std::size_t nextLine_ = 0;
    std::string fileName_;
    std::string dialogsPath_;
};

// The one dialog engine of the run (nullptr before start-up and after shut-down).
extern std::unique_ptr<TGameDialog> GameDialog;
// The dialog file engine_LoadDialog loads when a script names none; the
// interface sets it to the default when it starts.
inline constexpr const char* kDefaultDialogFile = "demodialog.dlg";
extern std::string DialogFileName;
void CreateGameDialog(const std::string& dialogsPath);
void FreeGameDialog();
// engine_LoadDialog(file, A, B) and engine_GetDialog([answer]).
void RegisterDialogFunctions();

} // namespace vesk
