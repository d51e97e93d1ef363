#pragma once

namespace corvane {

// One look for the program, the tests and the screenshots: the Fusion style (it
// paints buttons in their palette colour) and a small sans-serif font, so control
// sizes given in twips hold their text the same way everywhere.
void applyStationLook();

} // namespace corvane
