#include "tests/support/testSupport.h"

#include <fcntl.h>
#include <gdal_priv.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace kalvex::testing {

consoleCapture::consoleCapture() : saved(std::cout.rdbuf(captured.rdbuf())) { savedFormat.copyfmt(std::cout); }

consoleCapture::~consoleCapture() {
    std::cout.rdbuf(saved);
    std::cout.copyfmt(savedFormat);
}

scratchFolder::scratchFolder(const std::string& name) {
    folder = std::string(KALVEX_BINARY_DIR) + "/scratch/" + name + "_" + std::to_string(::getpid());
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
}

scratchFolder::~scratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

void writeTextFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::string readTextFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool fileExists(const std::string& path) { return std::filesystem::exists(path); }

void writeGeoTiff(const std::string& path, const geoTiffLayout& layout) {
    GDALAllRegister();
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GTiff");
    if (driver == nullptr) throw std::runtime_error("no GTiff driver");
    char** options = nullptr;
    if (layout.tiled) {
        options = CSLSetNameValue(options, "TILED", "YES");
        if (layout.blockWidth > 0) options = CSLSetNameValue(options, "BLOCKXSIZE", std::to_string(layout.blockWidth).c_str());
        if (layout.blockHeight > 0) options = CSLSetNameValue(options, "BLOCKYSIZE", std::to_string(layout.blockHeight).c_str());
    } else if (layout.blockHeight > 0) {
        options = CSLSetNameValue(options, "BLOCKYSIZE", std::to_string(layout.blockHeight).c_str());
    }
    GDALDataset* dataset = driver->Create(path.c_str(), layout.width, layout.height, 1,
                                          layout.int16 ? GDT_Int16 : GDT_Float32, options);
    CSLDestroy(options);
    if (dataset == nullptr) throw std::runtime_error("cannot create " + path);
    std::array<double, 6> transform = layout.transform;
    dataset->SetGeoTransform(transform.data());
    std::vector<float> cells = layout.cells;
    if (cells.empty()) {
        cells.resize(std::size_t(layout.width) * layout.height);
        for (int r = 0; r < layout.height; ++r)
            for (int c = 0; c < layout.width; ++c) cells[std::size_t(r) * layout.width + c] = float(c + 10 * r);
    }
    GDALRasterBand* band = dataset->GetRasterBand(1);
    if (layout.hasNoData) band->SetNoDataValue(layout.noDataValue);
    CPLErr result = band->RasterIO(GF_Write, 0, 0, layout.width, layout.height, cells.data(), layout.width, layout.height,
                                   GDT_Float32, 0, 0);
    GDALClose(dataset);
    if (result != CE_None) throw std::runtime_error("cannot write " + path);
}

void writePlaneRaster(const std::string& path, int size) {
    geoTiffLayout layout;
    layout.width = size;
    layout.height = size;
    layout.transform = {100.0, 1.0, 0.0, 50.0, 0.0, -1.0};
    for (int r = 0; r < size; ++r)
        for (int c = 0; c < size; ++c) layout.cells.push_back(float(2 * c - r));
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

namespace {
std::string readAll(int descriptor) {
    std::string text;
    char buffer[65536];
    ssize_t count;
    while ((count = ::read(descriptor, buffer, sizeof buffer)) > 0) text.append(buffer, std::size_t(count));
    return text;
}
}  // namespace

commandResult runProgram(const std::vector<std::string>& arguments, const std::string& workingFolder) {
    commandResult result;
    std::string outPath = std::filesystem::temp_directory_path() / ("kalvex_out_" + std::to_string(::getpid()));
    std::string errPath = outPath + "_err";
    pid_t child = ::fork();
    if (child == 0) {
        int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int in = ::open("/dev/null", O_RDONLY);
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::dup2(in, 0);
        if (::chdir(workingFolder.c_str()) != 0) ::_exit(126);
        std::vector<char*> argv;
        for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    int out = ::open(outPath.c_str(), O_RDONLY);
    int err = ::open(errPath.c_str(), O_RDONLY);
    if (out >= 0) { result.standardOutput = readAll(out); ::close(out); }
    if (err >= 0) { result.standardError = readAll(err); ::close(err); }
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
