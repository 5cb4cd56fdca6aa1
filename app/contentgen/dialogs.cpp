// The Kessa outpost's traffic controller: the dialog the player holds with
// the station, with its random greeting lines, its answers file and the Lua
// source its closing script reads. Dialog files are Windows-1251 text.
#include "assets.h"

namespace vesk::contentgen {
namespace {

// Lines end with CR LF, as Windows text files do.
std::string Lines(std::initializer_list<const char*> lines) {
    std::string text;
    for (const char* line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

void WriteDialogs(const AssetSink& sink) {
    sink("Dialogs/kessa_dispatch.dlg",
         Lines({
             "<HEAD NAME=\"kessa_dispatch\" AUTH=\"vesk\">",
             "<DIALOG INCLUDES=\"dispatcher=kessa.dispatcher\">",
             "// Kessa traffic control: before the raiders are beaten, and after.",
             "<LEVEL AUTH=\"dispatcher\">",
             "<SCRIPT TYPE=\"ACTION\" SRC=\"count_call\">kessaLastCall = kessaCalls</SCRIPT>",
             "<CUE LABEL=\"victory\" DEFAULT=\"kessa_greeting.txt\">Kessa traffic. Go ahead.<SCRIPT "
             "TYPE=\"CONDITION\">raidersDestroyed == 3</SCRIPT>",
             "<LEVEL>",
             "<CUE TYPE=\"report\">The raiders are down. All three of them.",
             "<CUE DEFAULT=\"kessa_answers.txt\">Requesting docking clearance.",
             "<CUE JUMP=\"bye\">Nothing more. Kessa, out.",
             "</LEVEL>",
             "<CUE LABEL=\"greet\">Pilot [pilot_name], this is Kessa traffic. Raiders are still working the "
             "belt.",
             "<LEVEL>",
             "<CUE JUMP=\"bye\">Understood. On my way.",
             "<CUE>Tell me about them.",
             "<LEVEL AUTH=\"dispatcher\">",
             "<CUE>Three light raiders, red hulls. They hit our ore haulers yesterday. Bring them down, then "
             "call us back.",
             "</LEVEL>",
             "</LEVEL>",
             "</LEVEL>",
             "<LEVEL AUTH=\"dispatcher\" LABEL=\"bye\">",
             "<CUE>Kessa traffic out. Fly safe, pilot.<SCRIPT TYPE=\"ACTION\" "
             "SRC=\"kessa_dialog.lua\">kessaDialogEnded = 1</SCRIPT>",
             "</LEVEL>",
             "<ANSWERS AUTH=\"dispatcher\">",
             "<CUE AT=\"REPORT\">Confirmed on our scopes. The outpost owes you one, pilot.<SCRIPT "
             "TYPE=\"ACTION\">kessaThanked = 1</SCRIPT>",
             "<CUE AT=\"DOCK\">Docking ring two is yours. Follow the green lights in.",
             "</ANSWERS>",
             "<LIBRARY>",
             "<SCRIPT LABEL=\"count_call\">kessaCalls = (kessaCalls or 0) + 1</SCRIPT>",
         }));
    // The dialog a script gets when it loads one without naming a file.
    sink("Dialogs/demodialog.dlg", Lines({
                                       "<HEAD NAME=\"demodialog\" AUTH=\"vesk\">",
                                       "<DIALOG INCLUDES=\"dispatcher=kessa.dispatcher\">",
                                       "<LEVEL AUTH=\"dispatcher\">",
                                       "<CUE>Kessa traffic, testing the line. Do you read?",
                                       "<LEVEL>",
                                       "<CUE>Loud and clear, Kessa.",
                                       "</LEVEL>",
                                       "</LEVEL>",
                                   }));
    sink("Dialogs/kessa_greeting.txt", Lines({
                                           "RANDOM",
                                           "Kessa traffic. Go ahead, pilot.",
                                           "Outpost Kessa here. We read you.",
                                           "Kessa control, listening. Good flying out there.",
                                       }));
    sink("Dialogs/kessa_answers.txt",
         Lines({
             "NORMAL",
             "<CUE TYPE=\"dock\">Requesting docking clearance.<SCRIPT TYPE=\"CONDITION\">TRUE</SCRIPT>",
             "<CUE TYPE=\"dock\">Requesting repairs and a berth.<SCRIPT TYPE=\"CONDITION\">kessaThanked == "
             "1</SCRIPT>",
         }));
    sink("Dialogs/kessa_dialog.lua", Lines({
                                         "-- Run before the closing line's own script.",
                                         "kessaDialogs = (kessaDialogs or 0) + 1",
                                     }));
}

} // namespace
} // namespace vesk::contentgen

VESK_ASSET_GROUP(dialogs, vesk::contentgen::WriteDialogs);
