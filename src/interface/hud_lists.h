#pragma once
// The HUD's text lists: rows of text in one label, and the list of the
// player's open objectives.
#include <string>
#include <vector>

#include "interface/draw_nodes.h"
#include "interface/hud_world.h"

namespace vesk {

// Rows of text: ADDLINE appends one, CLEAR empties the list.
class TListNode : public TLabelNode {
public:
    const std::vector<std::string>& Lines() const { return lines_; }
    void SetLines(std::vector<std::string> lines);
    void ExeMethod(const std::string& method) override;
    void CopyTo(TSimpleNode* target) override;
    bool SetProperty(const std::string& key, const std::string& value) override;
    bool GetProperty(const std::string& key, std::string& value) override;

private:
    std::vector<std::string> lines_;
};

class TEnemyList : public TListNode {};
class TFriendList : public TListNode {};
class TTargetList : public TListNode {};
// The player's open objectives ("player.objectives"), one text a row.
class TMissionList : public TListNode {
public:
    TMissionList() { SetTicked(true); }
    void Tick(int ms) override;

private:
    THudPathRef objectives_{"player.objectives"};
};

} // namespace vesk
