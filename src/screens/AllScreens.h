#pragma once

namespace corvane {

class Station;

// Adds every screen of the station to the station's registry, then wires them.
void registerAllScreens(Station &station);

// What the core leaves to the application, as it knows the screens by name: the alarm
// list takes every alarm line, and a data-server loss is an alarm while the main car
// screen is loaded. registerAllScreens does this; a station with fewer screens (tests)
// calls it itself.
void wireStation(Station &station);

void registerStartScreens(Station &station);
void registerCarMainScreens(Station &station);
void registerEnvironmentScreens(Station &station);
void registerWaterScreens(Station &station);
void registerPorterScreens(Station &station);
void registerBlowerScreens(Station &station);

} // namespace corvane
