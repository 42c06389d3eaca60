// What the main window makes of each message that arrives, fed straight to its handler from
// players made here: the dispatch order, the hull texture written as "ENTEX.BMP", chat lines.
#include "app/Form1.h"
#include "app/Form2.h"
#include "app/HullBitmap.h"
#include "tests/app/WatchedPlay.h"
#include "tests/app/YachtVisuals.h"
#include "yacht/SailTrim.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

using TBytes = std::vector<std::uint8_t>;

TBytes ReadAll(const fs::path& File) {
    std::ifstream in(File, std::ios::binary);
    return TBytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const fs::path& File, const TBytes& Bytes) {
    std::ofstream out(File, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(Bytes.data()),
              static_cast<std::streamsize>(Bytes.size()));
}

// Bitmaps written by ImageMagick (convert ... BMP3:), so the expected bytes come from a writer
// that is not ours.
fs::path Fixture(const char* Name) {
    return fs::path(MAREVO_SOURCE_DIR) / "tests/app/data" / Name;
}

TBytes Pixels(const TBytes& Bitmap) {
    std::uint32_t offBits = 0;
    std::memcpy(&offBits, Bitmap.data() + 10, 4);
    return TBytes(Bitmap.begin() + offBits, Bitmap.end());
}

class GameMessages : public ::testing::Test {
protected:
    GameMessages()
        : Folder(fs::temp_directory_path() / ("marevo-messages-" + std::to_string(getpid()))),
          Clock(1000) {
        fs::create_directories(Folder);
        Previous = fs::current_path();
        fs::current_path(Folder);
        Form = std::make_unique<TForm1>(Clock);
        Form->HullTextureFile.clear();
        Form->LocalId = 7;
        Form->Roster->RemovePlayer(1);
        Form->Roster->AddPlayer(7);
        Form->Roster->AddPlayer(Anna.ID);
        Form->DrawYacht1->AddYacht(Form->Roster->IndexOf(Anna.ID), "");
        Form2 = new TForm2(*Form->DDPD1, Form.get());
    }
    ~GameMessages() override {
        delete Form2;
        Form.reset();
        fs::current_path(Previous);
        fs::remove_all(Folder);
    }

    void Arrive(const TBytes& Message, ddpd::TDDPDPlayer* From = nullptr) {
        Form->DDPD1ArriveMessage(Form->DDPD1.get(), From ? From : &Anna, Message.data(),
                                 static_cast<std::int32_t>(Message.size()));
    }
    QStringList Lines() const {
        const QString text = Form2->ChatMemo->toPlainText();
        return text.isEmpty() ? QStringList() : text.split('\n');
    }
    void UseTemplate(const char* Name) {
        fs::copy_file(Fixture(Name), Folder / "HALTEX.BMP", fs::copy_options::overwrite_existing);
        Form->HullTextureFile = "HALTEX.BMP";
    }

    fs::path Folder;
    fs::path Previous;
    TManualClock Clock;
    std::unique_ptr<TForm1> Form;
    ddpd::TDDPDPlayer Anna{42, "anna", "アンナ"};
};

TEST_F(GameMessages, ControlMessageIsConsumedAndOtherShortMessagesAreChat) {
    struct {
        TBytes Message;
        const char* Line; // nullptr: no line
    } cases[] = {
        {{0x01, 0x00, 0x07}, nullptr},
        {{0x41, 0x42, 0x00}, "アンナ:\tAB"},
        {{0x00}, "アンナ:\t"},
        {{0x41, 0x42}, "アンナ:\tAB"},
        {{}, "アンナ:\t"},
        // Shift-JIS "こんにちは" and its zero byte.
        {{0x82, 0xB1, 0x82, 0xF1, 0x82, 0xC9, 0x82, 0xBF, 0x82, 0xCD, 0x00}, "アンナ:\tこんにちは"},
        // A lone lead byte and a byte no code page 932 sequence starts with stay visible.
        {{0x41, 0x82, 0x00}, "アンナ:\tA\uFFFD"},
        {{0x41, 0xA0, 0x42, 0x00}, "アンナ:\tA\uFFFDB"},
    };
    for (const auto& c : cases) {
        Form2->ChatMemo->clear();
        const TYachtState before = Form->Roster->GetState(Anna.ID);
        Arrive(c.Message);
        if (c.Line) {
            ASSERT_EQ(Lines().size(), 1);
            EXPECT_EQ(Lines()[0], QString::fromUtf8(c.Line));
        } else {
            EXPECT_TRUE(Lines().isEmpty());
        }
        const TYachtState after = Form->Roster->GetState(Anna.ID);
        EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
    }
}

TEST_F(GameMessages, A28ByteMessageOfAnotherKindIsChatUpToItsFirstZero) {
    TBytes message(28, 0x43);
    message[0] = 3;
    message[5] = 0;
    Arrive(message);
    ASSERT_EQ(Lines().size(), 1);
    EXPECT_EQ(Lines()[0], QString::fromUtf8("アンナ:\t\u2403CCCC"));
}

TEST_F(GameMessages, AStateIsClampedBeforeTheRosterOrTheSceneSeesIt) {
    constexpr float inf = std::numeric_limits<float>::infinity();
    struct {
        float X, WindAngle;
        float StoredX, StoredWindAngle;
    } cases[] = {
        {100, -90, 100, 0},
        {inf, 90, 32000, 90},
        {-inf, -inf, -32000, 0},
        // Reduced modulo 360 this would read 120 and show a flatter jib than "astern".
        {0, 3e9f, 0, 180},
    };
    const int slot = Form->Roster->IndexOf(Anna.ID);
    for (const auto& c : cases) {
        TYachtState sent;
        sent.X = c.X;
        sent.Heading = 180;
        sent.WindAngle = c.WindAngle;
        sent.SailsTrimmed = 1;
        TBytes message(28, 0xEE);
        message[0] = 2;
        std::memcpy(message.data() + 4, &sent, sizeof sent);
        Arrive(message);
        const TYachtState stored = Form->Roster->GetState(Anna.ID);
        EXPECT_EQ(stored.X, c.StoredX) << c.X;
        EXPECT_EQ(stored.WindAngle, c.StoredWindAngle) << c.WindAngle;
        D3DVECTOR position, direction, up;
        ASSERT_TRUE(Form->DrawYacht1->GetYachtPlacement(slot, position, direction, up));
        EXPECT_EQ(position.x, c.StoredX) << c.X;
        EXPECT_EQ(JibShown(*Form->DrawYacht1, slot),
                  JibTrim(stored, Form->DrawYacht1->FrameCounter).Variant)
            << c.WindAngle;
    }
    EXPECT_TRUE(Lines().isEmpty());
}

TEST_F(GameMessages, AStateFromAStrangerChangesNothingAndNaNCountsAsZero) {
    const TYachtState before = Form->Roster->GetState(Anna.ID);
    ddpd::TDDPDPlayer stranger{99, "x", "x"};
    TBytes message(28, 0xFF); // every number NaN, every flag 255
    message[0] = 2;
    Arrive(message, &stranger);
    EXPECT_EQ(Form->Roster->IndexOf(99), 0);
    const TYachtState unchanged = Form->Roster->GetState(Anna.ID);
    EXPECT_EQ(std::memcmp(&before, &unchanged, sizeof before), 0);

    Arrive(message);
    const TYachtState s = Form->Roster->GetState(Anna.ID);
    EXPECT_EQ(s.X, 0);
    EXPECT_EQ(s.Z, 0);
    EXPECT_EQ(s.Heel, 0);
    EXPECT_EQ(s.WindAngle, 0);
    EXPECT_EQ(s.Spinnaker, 255);
    EXPECT_EQ(s.Reserved, 0);
    D3DVECTOR position, direction, up;
    ASSERT_TRUE(Form->DrawYacht1->GetYachtPlacement(Form->Roster->IndexOf(Anna.ID), position,
                                                    direction, up));
    EXPECT_EQ(position.x, 0);
    EXPECT_EQ(position.z, 0);
    EXPECT_TRUE(Lines().isEmpty());
}

TEST_F(GameMessages, ReceivedTextureIsWrittenWithTheTemplatesHeaders) {
    UseTemplate("template24.bmp");
    const TBytes sender = ReadAll(Fixture("sender24.bmp"));
    Arrive(Pixels(sender));
    EXPECT_EQ(ReadAll(Folder / "ENTEX.BMP"), sender);
    EXPECT_EQ(Form->ExpectedTextureSize, 49152);
    EXPECT_TRUE(Lines().isEmpty());
}

TEST_F(GameMessages, ATextureThatCannotBeWrittenLeavesNoPartialFileBehind) {
    UseTemplate("template24.bmp");
    // Something that is not a file already holds the name, so the rename fails.
    fs::create_directories(Folder / "ENTEX.BMP" / "keep");
    Arrive(Pixels(ReadAll(Fixture("sender24.bmp"))));
    EXPECT_TRUE(fs::is_directory(Folder / "ENTEX.BMP" / "keep"));
    for (const fs::directory_entry& e : fs::directory_iterator(Folder))
        EXPECT_EQ(e.path().filename().string().find(".part"), std::string::npos) << e.path();
    EXPECT_TRUE(Lines().isEmpty());
}

TEST_F(GameMessages, A49151ByteChatIsTakenAsATextureButNotWritten) {
    UseTemplate("template24.bmp");
    TBytes chat(49151, 'a');
    chat.back() = 0;
    Form->ExpectedTextureSize = 49151;
    Arrive(chat);
    EXPECT_TRUE(Lines().isEmpty());
    EXPECT_FALSE(fs::exists(Folder / "ENTEX.BMP"));
    EXPECT_EQ(Form->ExpectedTextureSize, 49152);
}

TEST_F(GameMessages, TextureWithoutATemplateIsDropped) {
    for (const char* file : {"", "HALTEX.BMP"}) {
        Form->HullTextureFile = file;
        Arrive(TBytes(49152, 0x10));
        EXPECT_FALSE(fs::exists(Folder / "ENTEX.BMP"));
        EXPECT_EQ(Form->ExpectedTextureSize, 49152);
        EXPECT_TRUE(Lines().isEmpty());
    }
}

TEST_F(GameMessages, ASmallerTextureIsShownAsChat) {
    UseTemplate("template24.bmp");
    TBytes pixels = Pixels(ReadAll(Fixture("small24.bmp")));
    ASSERT_EQ(pixels.size(), 12288u);
    pixels[0] = 'Z';
    pixels[1] = 0;
    Arrive(pixels);
    ASSERT_EQ(Lines().size(), 1);
    EXPECT_EQ(Lines()[0], QString::fromUtf8("アンナ:\tZ"));
    EXPECT_FALSE(fs::exists(Folder / "ENTEX.BMP"));
}

TEST_F(GameMessages, EightBitTemplateWithoutAColourCountGetsAFullPalette) {
    TBytes tmpl = ReadAll(Fixture("palette8.bmp"));
    const TBytes expected = tmpl; // ImageMagick wrote biClrUsed 256
    std::memset(tmpl.data() + 46, 0, 4);
    std::memset(tmpl.data() + 34, 0, 4); // biSizeImage too: worked out from the size
    WriteAll(Folder / "HALTEX.BMP", tmpl);
    Form->HullTextureFile = "HALTEX.BMP";
    Form->ExpectedTextureSize = 1024;
    Arrive(Pixels(expected));
    const TBytes written = ReadAll(Folder / "ENTEX.BMP");
    EXPECT_EQ(written, expected);
    ASSERT_GE(written.size(), 54u);
    std::uint32_t offBits = 0, clrUsed = 0;
    std::memcpy(&offBits, written.data() + 10, 4);
    std::memcpy(&clrUsed, written.data() + 46, 4);
    EXPECT_EQ(offBits, 54u + 1024u);
    EXPECT_EQ(clrUsed, 256u);
}

TEST(HullBitmap, AColourCountPastTwoHundredFiftySixFallsBackToAllTheBitsCanName) {
    // Up to 256 the count is taken as written, as the exchange has always done; past it the
    // palette read is the one the depth's indices name, never the count given.
    const struct {
        std::uint16_t Bits;
        std::uint32_t ClrUsed;
        std::int32_t Colours;
    } cases[] = {{8, 256, 256}, {8, 257, 256}, {4, 256, 256}, {4, 257, 16}};
    for (const auto& c : cases) {
        TBytes b = ReadAll(Fixture("palette8.bmp"));
        std::memcpy(b.data() + 28, &c.Bits, 2);
        std::memcpy(b.data() + 46, &c.ClrUsed, 4);
        const auto parsed = ParseHullBitmap(b);
        ASSERT_TRUE(parsed.has_value()) << c.Bits << " bits, " << c.ClrUsed;
        EXPECT_EQ(parsed->ColourCount, c.Colours) << c.Bits << " bits, " << c.ClrUsed;
        EXPECT_EQ(parsed->InfoAndPalette.size(), 40u + 4u * std::size_t(c.Colours));
    }
}

TEST_F(GameMessages, ALengthOtherThanTheTemplatesIsNeitherWrittenNorApplied) {
    UseTemplate("palette8.bmp"); // its image is 1024 bytes
    WriteAll(Folder / "ENTEX.BMP", {1, 2, 3});
    Arrive(TBytes(49152, 0x10)); // still expected from the start
    EXPECT_EQ(ReadAll(Folder / "ENTEX.BMP"), (TBytes{1, 2, 3}));
    EXPECT_EQ(Form->ExpectedTextureSize, 1024);
}

TEST_F(GameMessages, UnusableTemplatesDropTheTexture) {
    const TBytes good = ReadAll(Fixture("template24.bmp"));
    auto patched = [&](std::initializer_list<std::pair<std::size_t, std::uint32_t>> Fields) {
        TBytes b = good;
        for (const auto& [at, value] : Fields)
            std::memcpy(b.data() + at, &value, 4);
        return b;
    };
    const TBytes cases[] = {
        TBytes(good.begin(), good.end() - 1),    // shorter than its pixels
        TBytes(good.begin(), good.begin() + 40), // shorter than its headers
        patched({{14, 12}}),                     // not a 40-byte info header
        patched({{46, 0x80000000u}}),            // negative colour count
        patched({{22, 0xFFFFFF80u}, {34, 0}}),   // top-down: negative image size
        patched({{18, 0x40000000u}, {34, 0}}),   // image size beyond 32 bits
        patched({{10, 0xFFFFFFF0u}}),            // pixels past the end
        TBytes{'B', 'X'},
        TBytes{},
    };
    for (const TBytes& tmpl : cases) {
        WriteAll(Folder / "HALTEX.BMP", tmpl);
        Form->HullTextureFile = "HALTEX.BMP";
        Arrive(TBytes(49152, 0x10));
        EXPECT_FALSE(fs::exists(Folder / "ENTEX.BMP"));
        EXPECT_FALSE(ParseHullBitmap(tmpl).has_value());
    }
}

TEST_F(GameMessages, ArrivalsAndDeparturesAreAnnounced) {
    // The newcomer's spinnaker wears this machine's texture, whatever its name's letter case.
    fs::copy_file(fs::path(MAREVO_BINARY_DIR) / "app/SPINTEX.BMP", Folder / "spintex.bmp");
    ddpd::TDDPDPlayer ben{50, "ben", "ベン"};
    Form->DDPD1ComesNewChallenger(Form->DDPD1.get(), &ben, ben.ShortName, ben.LongName);
    const int slot = Form->Roster->IndexOf(50);
    EXPECT_GT(slot, 0);
    EXPECT_TRUE(Form->DrawYacht1->YachtPresent(slot));
    EXPECT_TRUE(Textured(YachtVisual(*Form->DrawYacht1, slot, kSpinnaker)));
    Form->DDPD1EscapeChallenger(Form->DDPD1.get(), &ben, ben.ShortName, ben.LongName);
    EXPECT_EQ(Form->Roster->IndexOf(50), 0);
    EXPECT_FALSE(Form->DrawYacht1->YachtPresent(slot));
    EXPECT_EQ(Lines(), (QStringList{QString::fromUtf8("ベンさんが、来ました"),
                                    QString::fromUtf8("ベンさんが、逃げました")}));
}

// Whether each character of Line is laid out to the right of the one before it.
bool ReadsLeftToRight(const QString& Line, const QFont& Font) {
    QTextLayout layout(Line, Font);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(1e6);
    layout.endLayout();
    for (int i = 1; i <= Line.size(); ++i)
        if (line.cursorToX(i) < line.cursorToX(i - 1))
            return false;
    return true;
}

// A name or text from another machine makes no line of its own in the log (an arrival, a
// departure, someone else's chat), and cannot turn its line around.
TEST_F(GameMessages, WhatAnotherMachineSendsCannotPassForALineOfItsOwn) {
    const struct {
        const char *Name, *Shown; // the name as the component hands it over, and on screen
        TBytes Chat;              // Shift-JIS, as it crossed: "hi\r\nベン:\tや"
    } cases[] = {
        {"ベン", "ベン", {}},
        {"a\nB", "a\u240AB", {'h', 'i', '\r', '\n', 0x83, 0x78, 0x83, 0x93, ':', '\t', 0x82, 0xE2}},
        {"\u202Eanna\u2066", "<U+202E>anna<U+2066>", {}},
    };
    ASSERT_FALSE(ReadsLeftToRight(QString::fromUtf8("\u202Eanna"), Form2->ChatMemo->font()));
    for (const auto& c : cases) {
        Form2->ChatMemo->clear();
        ddpd::TDDPDPlayer sender{50, "s", c.Name};
        Form->DDPD1ComesNewChallenger(Form->DDPD1.get(), &sender, "", "");
        TBytes chat = c.Chat;
        chat.push_back(0);
        Arrive(chat, &sender);
        Form->DDPD1EscapeChallenger(Form->DDPD1.get(), &sender, "", "");
        const std::string name = c.Shown,
                          said = c.Chat.empty() ? "" : "hi\u240D\u240Aベン:\u2409や";
        EXPECT_EQ(Lines(), (QStringList{QString::fromStdString(name + "さんが、来ました"),
                                        QString::fromStdString(name + ":\t" + said),
                                        QString::fromStdString(name + "さんが、逃げました")}));
        EXPECT_EQ(Form2->ChatMemo->document()->blockCount(), 3) << name;
        for (const QString& line : Lines())
            EXPECT_TRUE(ReadsLeftToRight(line, Form2->ChatMemo->font())) << name;
    }
    // Nor can a long run of spaces wrap the rest of a text onto a row that looks like a line.
    ddpd::TDDPDPlayer sender{51, "s", "C"};
    TBytes padded(400, ' ');
    for (const char c : std::string("B:\tx"))
        padded.push_back(static_cast<std::uint8_t>(c));
    padded.push_back(0);
    Arrive(padded, &sender);
    Form2->show();
    Form2->ChatMemo->resize(200, 200);
    QCoreApplication::processEvents();
    const QTextDocument* log = Form2->ChatMemo->document();
    for (QTextBlock b = log->begin(); b != log->end(); b = b.next()) {
        log->documentLayout()->blockBoundingRect(b); // lays the block out
        EXPECT_EQ(b.layout()->lineCount(), 1) << b.text().toStdString();
    }
}

TEST_F(GameMessages, LinesAreDroppedOnceTheChatWindowIsGone) {
    delete Form2;
    ASSERT_EQ(Form2, nullptr);
    Arrive({0x41, 0x00});
    ddpd::TDDPDPlayer ben{50, "ben", "ベン"};
    Form->DDPD1EscapeChallenger(Form->DDPD1.get(), &ben, ben.ShortName, ben.LongName);
}

TEST_F(GameMessages, NoStateIsSentBeforeASession) {
    TWatchedPlay play(*Form->DDPD1);
    Form->LocalId = 1;
    EXPECT_NO_THROW(Form->Timer1Timer());
    EXPECT_TRUE(play.Sent.empty());
}

} // namespace
