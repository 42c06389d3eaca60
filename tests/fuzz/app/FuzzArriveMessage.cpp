// Arbitrary messages into the main window's arrival handler, from a player with a yacht or a
// stranger; some inputs first become the hull texture template, so its reading is fuzzed too.
#include "app/Form1.h"
#include "app/Form2.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <unistd.h>

namespace {

struct TWorld {
    std::unique_ptr<vcl::TFrameworkApp> Qt;
    std::unique_ptr<vcl::TApplication> Application;
    std::unique_ptr<TManualClock> Clock;
    std::unique_ptr<TForm1> Form;
    ddpd::TDDPDPlayer Known{42, "anna", "anna"};
    ddpd::TDDPDPlayer Stranger{99, "x", "x"};
};

TWorld* World = nullptr;

// A 4 x 4 pixel, 24-bit bitmap: 48 bytes of pixels.
void WriteSmallTemplate() {
    std::uint8_t b[54 + 48] = {'B', 'M', 102, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  40,
                               0,   0,   0,   4, 0, 0, 0, 4, 0, 0, 0,  1, 0, 24, 0};
    std::ofstream("HALTEX.BMP", std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(b), sizeof b);
}

} // namespace

// Font lookups for the chat log keep caches for the life of the process.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\n";
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const auto folder =
        std::filesystem::temp_directory_path() / ("marevo-fuzz-arrive-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    std::filesystem::current_path(folder);
    World = new TWorld;
    World->Qt = std::make_unique<vcl::TFrameworkApp>(*argc, *argv);
    World->Application = std::make_unique<vcl::TApplication>();
    World->Clock = std::make_unique<TManualClock>(1000);
    World->Form = std::make_unique<TForm1>(*World->Clock);
    TForm1& f = *World->Form;
    f.Roster->AddPlayer(World->Known.ID);
    f.DrawYacht1->AddYacht(f.Roster->IndexOf(World->Known.ID), "");
    Form2 = new TForm2(*f.DDPD1, &f);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    if (Size == 0)
        return 0;
    TForm1& f = *World->Form;
    const std::uint8_t mode = Data[0];
    ++Data;
    --Size;
    if (mode & 2) {
        std::ofstream("HALTEX.BMP", std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(Data), static_cast<std::streamsize>(Size));
        f.HullTextureFile = "HALTEX.BMP";
        const std::uint8_t pixels[48] = {};
        f.ExpectedTextureSize = 48;
        f.DDPD1ArriveMessage(f.DDPD1.get(), &World->Known, pixels, 48);
        WriteSmallTemplate();
        return 0;
    }
    if (mode & 4) {
        WriteSmallTemplate();
        f.HullTextureFile = "HALTEX.BMP";
        f.ExpectedTextureSize = static_cast<std::int32_t>(Size);
    }
    ddpd::TDDPDPlayer* from = (mode & 1) ? &World->Stranger : &World->Known;
    const int before = Form2 ? Form2->ChatMemo->blockCount() : 0;
    f.DDPD1ArriveMessage(f.DDPD1.get(), from, Data, static_cast<std::int32_t>(Size));
    // Whatever a message holds, it adds at most one line to the log.
    if (Form2 && Form2->ChatMemo->blockCount() > before + 1)
        std::abort();
    // Keep the log from growing without end over a long run.
    if (Form2 && Form2->ChatMemo->blockCount() > 1000)
        Form2->ChatMemo->clear();
    return 0;
}
