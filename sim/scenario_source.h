#pragma once

// Where the scenario comes from: FTD2XX_SIM names one of the scenarios kept
// with the simulator, or gives a path, or (when it holds a line break) is
// the scenario text itself. Unset, it means the demo scenario.

#include <string>

namespace ftsim {

struct ScenarioText {
    std::string origin;  // for messages and the transcript
    std::string text;
    std::string error;  // the scenario could not be read
};

ScenarioText readScenarioText();

}  // namespace ftsim
