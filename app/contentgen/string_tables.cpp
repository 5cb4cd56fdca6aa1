// The texts the player reads, in English and Russian: string tables under
// "data/strings/" in UTF-16LE with a byte-order mark and CR LF line ends,
// one "[id]=text" line each. The scripts load them with
// engine_ParseRefFiles("data/strings", "en"); a language set up for the
// game ("ru") picks the other set.
#include "assets.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace vesk::contentgen {
namespace {

// UTF-8 source text to UTF-16 code units.
std::u16string Utf16(const std::string& utf8) {
    std::u16string out;
    for (size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<uint8_t>(utf8[i]);
        uint32_t cp = c;
        int extra = 0;
        if (c >= 0xF0) {
            cp = c & 0x07;
            extra = 3;
        } else if (c >= 0xE0) {
            cp = c & 0x0F;
            extra = 2;
        } else if (c >= 0xC0) {
            cp = c & 0x1F;
            extra = 1;
        }
        for (int k = 1; k <= extra && i + static_cast<size_t>(k) < utf8.size(); ++k)
            cp = (cp << 6) | (static_cast<uint8_t>(utf8[i + static_cast<size_t>(k)]) & 0x3F);
        i += static_cast<size_t>(extra) + 1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

using Entry = std::pair<int, const char*>;

std::string Table(const std::vector<Entry>& entries, const char* comment) {
    std::u16string text = u"\uFEFF";
    for (const auto& [id, line] : entries) {
        text += Utf16("[" + std::to_string(id) + "]=" + line);
        // One line carries a comment, which the loader drops.
        if (id == entries.front().first) text += Utf16(std::string("// ") + comment);
        text += u"\r\n";
    }
    std::string bytes;
    for (char16_t u : text) {
        bytes += static_cast<char>(u & 0xFF);
        bytes += static_cast<char>(u >> 8);
    }
    return bytes;
}

const std::vector<Entry> kInterfaceEn = {
    {100, "Vesk Annals"}, {101, "New game"},    {102, "Load game"},     {103, "Save game"},
    {104, "Options"},     {105, "Quit"},        {106, "Continue"},      {110, "Speed"},
    {111, "Shield"},      {112, "Hull"},        {113, "Energy"},        {114, "Target"},
    {115, "Distance"},    {116, "Rockets"},     {117, "Guns"},          {120, "Objective complete"},
    {121, "Game saved"},  {122, "Game loaded"}, {123, "Press any key"},
};
const std::vector<Entry> kInterfaceRu = {
    {100, "Хроники Веска"},
    {101, "Новая игра"},
    {102, "Загрузить"},
    {103, "Сохранить"},
    {104, "Настройки"},
    {105, "Выход"},
    {106, "Продолжить"},
    {110, "Скорость"},
    {111, "Щит"},
    {112, "Корпус"},
    {113, "Энергия"},
    {114, "Цель"},
    {115, "Дистанция"},
    {116, "Ракеты"},
    {117, "Орудия"},
    {120, "Задача выполнена"},
    {121, "Игра сохранена"},
    {122, "Игра загружена"},
    {123, "Нажмите любую клавишу"},
};
const std::vector<Entry> kMissionEn = {
    {200, "Reach the waypoint by the Kessa belt"},
    {201, "Destroy the three raiders"},
    {202, "Report to Kessa outpost"},
    {203, "Mission complete"},
    {204, "Mission failed"},
    {210, "Kessa Outpost"},
    {211, "Raider"},
    {212, "Vesk Hawk"},
    {213, "Kessa traffic control"},
};
const std::vector<Entry> kMissionRu = {
    {200, "Долетите до точки у пояса Кессы"},
    {201, "Уничтожьте трёх налётчиков"},
    {202, "Доложите на станцию Кесса"},
    {203, "Задание выполнено"},
    {204, "Задание провалено"},
    {210, "Станция Кесса"},
    {211, "Налётчик"},
    {212, "Веский ястреб"},
    {213, "Диспетчер Кессы"},
};

void WriteStringTables(const AssetSink& sink) {
    sink("data/strings/en_interface.txt", Table(kInterfaceEn, "menu and HUD"));
    sink("data/strings/en_mission.txt", Table(kMissionEn, "the Kessa mission"));
    sink("data/strings/ru_interface.txt", Table(kInterfaceRu, "меню и HUD"));
    sink("data/strings/ru_mission.txt", Table(kMissionRu, "задание на Кессе"));
}

} // namespace
} // namespace vesk::contentgen

VESK_ASSET_GROUP(string_tables, vesk::contentgen::WriteStringTables);
