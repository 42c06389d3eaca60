#pragma once
// A display component on a form of its own, on a fixed emulated desktop (1024 x 768 at 16
// bits, no vertical-blank pacing), with clean failure plans and the debug log in a folder of
// the test's own.

#include "dddd/DDDD.h"
#include "dddd/DdddDebug.h"
#include "platform/ddraw/DDrawTesting.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/Screen.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

class DisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        DDrawFailures().Clear();
        D3DRMFailures().Clear();
        vcl::Screen().SetDesktop(1024, 768, 16, 0);
        vcl::Screen().ResetSystemPalette();
        // No process number in the name: a death test's child runs SetUp again and must
        // write where its parent reads.
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : name)
            if (c == '/')
                c = '_';
        Folder = std::filesystem::temp_directory_path() / ("marevo-dddd-" + name);
        std::filesystem::remove_all(Folder);
        std::filesystem::create_directories(Folder);
        dddd::DdddReporter().SetLogFolder(Folder.string() + "/");
        Census = DDrawCensus();
    }
    void TearDown() override {
        Display.reset();
        Form.reset();
        DDrawFailures().Clear();
        D3DRMFailures().Clear();
        EXPECT_EQ(DDrawCensus(), Census) << "the display left objects of the stand-in alive";
        vcl::Screen().SetDesktop(0, 0, 0);
        std::filesystem::remove_all(Folder);
    }

    // Places a component on a new form with the main window's settings, as its description
    // would, and fires the form's creation.
    void Start(dddd::TDDDDDispMode Mode = dddd::TDDDDDispMode::dmWin640x480x16, bool Use3D = true,
               dddd::TD3DOptions Options = {dddd::DontUseRGBEmulation, dddd::DontUseHAL},
               bool Create = true) {
        Form = std::make_unique<vcl::TForm>();
        Form->OnCreate = [this](vcl::TForm*) { Events.push_back("FormCreate"); };
        Display = std::make_unique<dddd::TDDDD>(Form.get());
        Display->Use3D = Use3D;
        Display->SetDisplayMode(Mode);
        Display->D3DOptions = Options;
        Display->OnInit = [this](vcl::TForm*, bool NeedChange) {
            Events.push_back(NeedChange ? "OnInit(True)" : "OnInit(False)");
        };
        Display->OnCleanUp = [this](dddd::TDDDD*) { Events.push_back("OnCleanUp"); };
        Display->OnChangeDisplayMode = [this](dddd::TDDDD*) {
            Events.push_back("OnChangeDisplayMode");
        };
        Display->Loaded();
        Form->setGeometry(20, 20, 320, 240);
        if (Create)
            Form->DoCreate();
    }

    std::string Log() const {
        std::ifstream f(Folder / "dddd.debug", std::ios::binary);
        std::stringstream ss;
        ss << f.rdbuf();
        return ss.str();
    }

    std::unique_ptr<vcl::TForm> Form;
    std::unique_ptr<dddd::TDDDD> Display;
    std::vector<std::string> Events;
    std::filesystem::path Folder;
    TDDrawCensus Census;
};
