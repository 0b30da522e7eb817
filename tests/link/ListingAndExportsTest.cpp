// The listing of a connection and raw exchanges, and the exported functions.
#include "SimulatedKit.h"

#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>
#if defined(_WIN32)
#include <windows.h>
#endif

using namespace linktest;

namespace {

std::string ReadFile(const std::string& path) {
    std::stringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}

TEST(Listing, ConnectAndRawExchangesAreListedByteForByte) {
    ResetLibraryState();
    ReloadUsb("firmware = 1.5.47\nnative_bitmask = 0x072F\n");
    char path[] = "/tmp/rerodada-listing-XXXXXX";
    close(mkstemp(path));
    ASSERT_TRUE(CommLogListingFile_Open(path));
    ASSERT_TRUE(BrimBoardConnect());
    const uint8_t start[] = {0xA0, 0x00};
    ReroDadaStringWrite(start, 2, 1);
    const uint8_t read[] = {0xA0, 0x00, 0xA1, 0x2A, 0xA1, 0x00, 0xA0,
                            0x01, 0xA1, 0x2B, 0xA2, 0x00, 0xA3, 0x00};
    ReroDadaStringWrite(read, sizeof read, 8);
    BrimPinWrite(3, 1);
    BrimLogComment(0, "100% done");
    const uint8_t data[] = {0x12, 0x34};
    BrimLogData(0, 2, data, "caller's bytes");
    BrimBoardDisconnect();
    CommLogListingFile_Close();
    // Time stamps are the only part of a listing that changes from run to run.
    static const std::regex stamp(
        R"([A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4})");
    const std::string actual =
        std::regex_replace(ReadFile(path), stamp, "Www Mmm dd hh:mm:ss yyyy");
    unlink(path);
    EXPECT_EQ(actual, ReadFile(std::string(LINK_TEST_DATA) + "/connect_listing.txt")) << actual;
}

std::set<std::string> HeaderFunctions() {
    std::string header = ReadFile(RERODADA_PUBLIC_HEADER);
    std::set<std::string> names;
    static const std::regex single(R"(RERODADA_API\([^)]*\)\s*(\w+)\s*\()");
    for (std::sregex_iterator it(header.begin(), header.end(), single), end; it != end; ++it)
        names.insert((*it)[1]);
    static const std::regex triple(R"(\nRERODADA_SMBUS_TRIPLE\(\s*\w+,\s*(\w+),)");
    for (std::sregex_iterator it(header.begin(), header.end(), triple), end; it != end; ++it)
        for (const char* suffix : {"", "_portable", "_native"})
            names.insert(std::string((*it)[1]) + suffix);
    if (header.find("evTarn232SetComPortSpeed(unsigned int") != std::string::npos)
        names.insert("_Z24evTarn232SetComPortSpeedj");
    return names;
}

#if defined(_WIN32)
// The names in RERODADA.dll's export table. stdcall names carry "@" and the
// bytes of their arguments; the declared name is what comes before.
std::set<std::string> LibraryExports() {
    std::set<std::string> names;
    HMODULE module = LoadLibraryA(RERODADA_SHARED_LIBRARY);
    if (!module) return names;
    const auto* base = reinterpret_cast<const uint8_t*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& table =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    const auto* exports =
        reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + table.VirtualAddress);
    const auto* nameAddresses = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
        std::string name = reinterpret_cast<const char*>(base + nameAddresses[i]);
        size_t at = name.rfind('@');
        EXPECT_TRUE(at != std::string::npos && at + 1 < name.size() &&
                    std::stoul(name.substr(at + 1)) % 4 == 0)
            << name << " is not a decorated stdcall name";
        names.insert(name.substr(0, at));
    }
    FreeLibrary(module);
    return names;
}
#else
std::set<std::string> LibraryExports() {
    std::set<std::string> names;
    FILE* nm = popen((std::string("nm -D --defined-only ") + RERODADA_SHARED_LIBRARY).c_str(), "r");
    char address[64], type[8], name[400];
    while (nm && fscanf(nm, "%63s %7s %399s", address, type, name) == 3)
        if (type[0] == 'T') names.insert(name);
    if (nm) pclose(nm);
    return names;
}
#endif

TEST(Exports, LibraryExportsExactlyTheHeadersFunctions) {
    std::set<std::string> declared = HeaderFunctions();
    std::set<std::string> exported = LibraryExports();
    ASSERT_GT(declared.size(), 50u);
    for (const std::string& name : declared)
        EXPECT_TRUE(exported.count(name)) << name << " is declared but not exported";
    for (const std::string& name : exported)
        EXPECT_TRUE(declared.count(name)) << name << " is exported but not declared";
}

#if defined(_WIN32)
// A caller that loads the DLL by hand finds the decorated names, and the
// stdcall stack clean-up holds (a wrong one would corrupt the results or crash).
TEST(Exports, DecoratedNamesAreCalledThroughTheLoader) {
    HMODULE module = LoadLibraryA(RERODADA_SHARED_LIBRARY);
    ASSERT_NE(module, nullptr);
    const auto find = [module](const char* name) {
        return reinterpret_cast<void*>(GetProcAddress(module, name));
    };
    const auto setPrefix =
        reinterpret_cast<void(__stdcall*)(const char*)>(find("BrimBoardBannerRequiresPrefix@4"));
    const auto getPrefix = reinterpret_cast<void(__stdcall*)(char*, uint32_t)>(
        find("BrimBoardBanner_GetRequiredPrefix@8"));
    const auto crc8 = reinterpret_cast<uint8_t(__stdcall*)(const uint8_t*, uint32_t, uint8_t)>(
        find("PEC_crc8@12"));
    ASSERT_TRUE(setPrefix && getPrefix && crc8);
    EXPECT_EQ(find("BrimBoardBannerRequiresPrefix"), nullptr);
    char prefix[32] = {};
    setPrefix("Other");
    getPrefix(prefix, sizeof prefix);
    EXPECT_STREQ(prefix, "Other");
    setPrefix("Kelvo");
    const uint8_t data[] = {0x01, 0x02, 0x03};
    EXPECT_EQ(crc8(data, sizeof data, 0), 0x48);
    FreeLibrary(module);
}
#endif

} // namespace
