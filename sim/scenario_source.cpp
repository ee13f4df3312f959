#include "sim/scenario_source.h"

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace ftsim {

namespace {

namespace fs = std::filesystem;

constexpr const char* kDefaultScenario = "demo";

// The scenarios are looked for beside the sources the library was built
// from, then beside the library itself, so a copied build still finds them.
std::vector<fs::path> scenarioDirectories() {
    std::vector<fs::path> dirs;
#ifdef FTSIM_SCENARIO_DIR
    dirs.emplace_back(FTSIM_SCENARIO_DIR);
#endif
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&readScenarioText), &info) && info.dli_fname)
        dirs.push_back(fs::path(info.dli_fname).parent_path() / "scenarios");
    return dirs;
}

bool readFile(const fs::path& path, std::string& text) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream content;
    content << in.rdbuf();
    text = content.str();
    return true;
}

}  // namespace

ScenarioText readScenarioText() {
    const char* value = std::getenv("FTD2XX_SIM");
    const std::string setting = value && *value ? value : kDefaultScenario;
    ScenarioText result;
    if (setting.find('\n') != std::string::npos) {
        result.origin = "(text of FTD2XX_SIM)";
        result.text = setting;
        return result;
    }
    result.origin = setting;
    if (setting.find('/') == std::string::npos) {
        for (const fs::path& dir : scenarioDirectories())
            if (readFile(dir / setting, result.text)) return result;
    }
    if (readFile(setting, result.text)) return result;
    result.error = "scenario '" + setting + "' not found (a name from sim/scenarios, or a path)";
    return result;
}

}  // namespace ftsim
