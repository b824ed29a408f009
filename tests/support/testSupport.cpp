#include "tests/support/testSupport.h"

#include <fcntl.h>
#include <gdal_priv.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <stdexcept>

namespace kalvex::testing {

scratchFolder::scratchFolder(const std::string& name) {
    folder = std::string(KALVEX_BINARY_DIR) + "/scratch/" + name + "_" + std::to_string(::getpid());
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
}

scratchFolder::~scratchFolder() {
    std::error_code ignored;  // a destructor throws nothing
    std::filesystem::remove_all(folder, ignored);
}

std::string textOf(const std::vector<double>& values) {
    std::ostringstream text;
    text.precision(10);
    for (const double value : values) text << value << ' ';
    return text.str();
}

void writeTextFile(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::string readTextFile(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

bool fileExists(const std::string& path) { return std::filesystem::exists(path); }

void writeGeoTiff(const std::string& path, const geoTiffLayout& layout) {
    GDALAllRegister();
    char** options = nullptr;
    for (const std::string& option : layout.options) options = CSLAddString(options, option.c_str());
    GDALDataset* dataset = GetGDALDriverManager()->GetDriverByName(layout.driver.c_str())->Create(
        path.c_str(), layout.width, layout.height, 1, GDALGetDataTypeByName(layout.cellType.c_str()), options);
    CSLDestroy(options);
    if (dataset == nullptr) throw std::runtime_error("cannot create " + path);
    std::array<double, 6> transform = layout.transform;
    dataset->SetGeoTransform(transform.data());
    std::vector<float> cells = layout.cells;
    for (int i = 0; layout.cells.empty() && !layout.sparse && i < layout.width * layout.height; ++i)
        cells.push_back(float(i % layout.width + 10 * (i / layout.width)));
    GDALRasterBand* band = dataset->GetRasterBand(1);
    if (layout.hasNoData) band->SetNoDataValue(layout.noDataValue);
    band->SetScale(layout.scale);
    band->SetOffset(layout.offset);
    const CPLErr result = layout.sparse ? CE_None
                                        : band->RasterIO(GF_Write, 0, 0, layout.width, layout.height, cells.data(),
                                                         layout.width, layout.height, GDT_Float32, 0, 0);
    GDALClose(dataset);
    if (result != CE_None) throw std::runtime_error("cannot write " + path);
}

void writePlaneRaster(const std::string& path, int size) {
    geoTiffLayout layout{size, size, {99.5, 1.0, 0.0, 50.5, 0.0, -1.0}, {}, {}};
    for (int i = 0; i < size * size; ++i) layout.cells.push_back(float(2 * (i % size) - i / size));
    writeGeoTiff(path, layout);
}

elevationRaster makeRaster(std::uint32_t width, std::uint32_t height, const geoTransform& transform,
                           const std::function<double(int, int)>& value) {
    elevationRaster raster;
    raster.width = width;
    raster.height = height;
    raster.transform = transform;
    raster.cells.resize(std::size_t(width) * height);
    for (std::uint32_t r = 0; r < height; ++r)
        for (std::uint32_t c = 0; c < width; ++c) raster.cell(c, r) = float(value(int(c), int(r)));
    raster.loaded = true;
    return raster;
}

std::ostream& discardedConsole() {
    static std::ostream nowhere(nullptr);
    return nowhere;
}

runState tinyMapState() {
    runState state;
    state.raster.width = state.raster.height = 3;
    state.raster.transform = {100, 1, 0, 200, 0, -1};
    state.corners = {cornerRecord{0, 100, 200, 1}, {2, 102, 200, 2}, {6, 100, 198, 3}, {8, 102, 198, 4}};
    state.tiePointIds = {"t1"};
    state.initialTiePoints = state.tiePoints = {{0, 100.5, 199.5, 10}};
    state.notReady = false;
    return state;
}

commandResult runProgram(const std::vector<std::string>& arguments, const std::string& workingFolder) {
    const std::string outPath = std::filesystem::temp_directory_path() / ("kalvex_out_" + std::to_string(::getpid()));
    const std::string errPath = outPath + "_err";
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
        ::dup2(::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        ::dup2(::open("/dev/null", O_RDONLY), 0);
        if (::chdir(workingFolder.c_str()) != 0) ::_exit(126);
        std::vector<char*> argv;
        for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    const commandResult result{WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), readTextFile(outPath),
                               readTextFile(errPath)};
    std::remove(outPath.c_str());
    std::remove(errPath.c_str());
    return result;
}

std::pair<std::uint32_t, std::uint32_t> pngSize(const std::string& path) {
    const std::string bytes = readTextFile(path);
    if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return {0, 0};
    auto bigEndian = [&bytes](std::size_t at) {
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < 4; ++i) value = (value << 8) | std::uint8_t(bytes[at + i]);
        return value;
    };
    return {bigEndian(16), bigEndian(20)};
}

commandResult makeSceneIn(const std::string& folder, const std::vector<std::string>& options) {
    std::vector<std::string> arguments{makeScenePath(), "--out", folder};
    arguments.insert(arguments.end(), options.begin(), options.end());
    return runProgram(arguments);
}

std::string kalvexPath() { return std::string(KALVEX_BINARY_DIR) + "/kalvex"; }
std::string makeScenePath() { return std::string(KALVEX_BINARY_DIR) + "/makeScene"; }
std::string sourceDir() { return KALVEX_SOURCE_DIR; }
std::string sharedDataDir() { return std::string(KALVEX_SOURCE_DIR) + "/../shared/realdata"; }
std::string testDataDir() { return std::string(KALVEX_SOURCE_DIR) + "/tests/data"; }
std::string testDataText(const std::string& name) { return readTextFile(testDataDir() + "/" + name); }

namespace {
std::set<std::string> filesBelow(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (entry.is_regular_file()) names.insert(std::filesystem::relative(entry.path(), folder).string());
    return names;
}
}  // namespace

std::string replayRuns(const std::string& transcript, const std::string& folder) {
    const std::set<std::string> inputs = filesBelow(folder);
    std::string replayed;
    std::istringstream lines(transcript);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("#", 0) == 0) replayed += line + "\n";
        if (line.rfind("--- ", 0) == 0) replayed += line + "\n" + readTextFile(folder + "/" + line.substr(4));
        if (line.rfind("$ kalvex ", 0) != 0) continue;
        for (const std::string& name : filesBelow(folder))
            if (inputs.count(name) == 0) std::filesystem::remove(folder + "/" + name);
        std::vector<std::string> arguments{kalvexPath()};
        std::istringstream words(line.substr(9));
        for (std::string word; words >> word;) arguments.push_back(word);
        const commandResult run = runProgram(arguments, folder);
        replayed += line + "\n" + run.standardOutput + run.standardError;
        replayed += "[exit " + std::to_string(run.status) + "]";
        for (const std::string& name : filesBelow(folder)) {
            if (inputs.count(name) > 0) continue;
            const auto [width, height] = pngSize(folder + "/" + name);
            replayed += " " + name + (width > 0 ? "(" + std::to_string(width) + "x" + std::to_string(height) + ")" : "");
        }
        replayed += "\n";
    }
    return replayed;
}

std::string textCase::operator[](const std::string& key) const {
    for (const auto& [name, value] : fields)
        if (name == key) return value;
    return "";
}

namespace {
std::string unescaped(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char code = text[i] == '\\' && i + 1 < text.size() ? text[++i] : '\0';
        if (code == 'x') {
            out += char(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += code == '\0' ? text[i] : code == 'n' ? '\n' : code == 'r' ? '\r' : code == 't' ? '\t' : code;
        }
    }
    return out;
}
}  // namespace

std::vector<textCase> readTextCases(const std::string& path) {
    std::vector<textCase> cases;
    std::istringstream lines(readTextFile(path));
    std::string* open = nullptr;  // the field whose lines are being read
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("== ", 0) == 0) {
            cases.push_back({line.substr(3), {}});
            open = nullptr;
        } else if (line.rfind("-- ", 0) == 0 && !cases.empty()) {
            const std::size_t colon = line.find(": ");
            cases.back().fields.emplace_back(line.substr(3, colon - 3),
                                             colon == std::string::npos ? "" : unescaped(line.substr(colon + 2)));
            open = colon == std::string::npos ? &cases.back().fields.back().second : nullptr;
        } else if (open != nullptr && line.rfind("# ", 0) != 0) {
            *open += unescaped(line) + "\n";
        }
    }
    for (textCase& test : cases)
        for (auto& [key, value] : test.fields)
            while (value.size() >= 2 && value.compare(value.size() - 2, 2, "\n\n") == 0) value.pop_back();
    return cases;
}

}  // namespace kalvex::testing
