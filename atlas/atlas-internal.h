// What the atlas's own files share; the rest of the project sees atlas.h.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "atlas.h"
#include "looks.h"

namespace atlas {

// The outcomes as the twin's grouping takes them, by their names.
std::vector<twin::NamedRun> named_runs(const Atlas& atlas);

// A name as a file name and anchor: letters, digits and '-' only, so that
// no name can lead outside the atlas folder or out of an attribute.
std::string slug_of(const std::string& name);

// Each recorded power cut run in the twin with its knobs: what the device
// showed at its moment.
std::vector<CutOutcome> run_cuts(const std::vector<CutFacts>& rows,
                                 const std::filesystem::path& executable,
                                 const twin::RunOptions& options);
// Which outcomes each power cut looks like on the device.
void find_look_alikes(Atlas& atlas);

// Each screen pixel as a 3x3 block in the images: 384x192 for the default
// display.
inline constexpr int kImageScale = 3;

// Our own text for HTML: & < > " ' as entities.
std::string html_escape(std::string_view text);
// Text for a Markdown table cell: inline markup characters escaped with a
// backslash, & < > as entities, line ends as <br>.
std::string markdown_escape(std::string_view text);
// The program's bytes as readable text: printable ASCII, line feeds and
// tabs as they are, a backslash doubled and every other byte as \xNN, so
// that the page stays valid and exact whatever the program wrote.
std::string visible_bytes(std::string_view bytes);

}  // namespace atlas
