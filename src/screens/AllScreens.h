#pragma once

namespace corvane {

class Station;

// Adds every screen of the station to the station's registry.
void registerAllScreens(Station &station);

void registerStartScreens(Station &station);
void registerCarMainScreens(Station &station);
void registerEnvironmentScreens(Station &station);
void registerWaterScreens(Station &station);
void registerPorterScreens(Station &station);
void registerBlowerScreens(Station &station);

} // namespace corvane
