#pragma once
// What a file read back into the tree may bring with it. A saved object's
// lists come back with their entries (a ship's slots and cargo, the player's
// objectives, the items of a saved game), made as the list's own kind of
// entry. Event code that arrives with a file is the file's, not the game's:
// it runs only when the game's own scripts have given some event the very
// same code during this run, so a stranger's save cannot plant code.
#include <string>

#include "game/params.h"

namespace vesk {

// While one lives, values read back into the tree come from a data file.
// The entries the file lacks are logged once, with its name, when the
// outermost scope ends.
class DataLoadScope {
public:
    explicit DataLoadScope(const std::string& fileName = {});
    ~DataLoadScope();
    DataLoadScope(const DataLoadScope&) = delete;
    DataLoadScope& operator=(const DataLoadScope&) = delete;
};
bool DataLoadActive();
// A table the file being read lacks (its children keep their values).
void NoteMissingDataEntry(const std::string& luaVar);

// Makes the entries the Lua table at luaVar holds for the node's lists and
// the node lacks: an entry is made when its "engineType" is the list's
// default child class, or an item, an object effect or a parameter class.
// Keys are taken in name order; nesting and counts are bounded.
void RestoreListEntries(TBaseGameObject* node, const std::string& luaVar);

// The Lua code of an event. It remembers whether its text came with a data
// file; texts the game's own scripts set are trusted for the whole run.
class TGameEventCode : public TGameObjectStringParam {
    VESK_GAME_CLASS(TGameEventCode)
public:
    void setValue(const std::string& s) override;
    void CopyStructure(TBaseGameObject*& dest) override;
    bool CameFromData() const { return fromData_; }
    // False for code from a file that the game's scripts never gave an event.
    bool MayRun() const;
    // True the first time a refused run is asked for (it is reported once).
    bool FirstRefusal();

private:
    bool fromData_ = false;
    bool refusalReported_ = false;
};

// Forgets every trusted code text (tests; a new run starts empty).
void ForgetTrustedEventCode();

void RegisterLoadedDataClasses();

} // namespace vesk
