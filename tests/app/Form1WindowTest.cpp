#include "app/AboutBox.h"
#include "app/Form1.h"

#include "platform/rtl/SysUtils.h"

#include <QLabel>
#include <QMenuBar>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

QString Q(const char* Utf8) {
    return QString::fromUtf8(Utf8);
}

} // namespace

TEST(MainWindow, ShowsItsCaptionMenusAndBounds) {
    TSystemClock clock;
    TForm1 form(clock);
    form.show();
    EXPECT_EQ(form.windowTitle(), Q("Marevo  － 視点切替：F,U,R   ｽﾋﾟﾝ上降：S,D －"));
    const QList<QAction*> menus = form.menuBar()->actions();
    ASSERT_EQ(menus.size(), 3);
    EXPECT_EQ(menus[0]->text(), Q("ｹﾞｰﾑ(&G)"));
    EXPECT_EQ(menus[1]->text(), Q("ｵﾌﾟｼｮﾝ(&O)"));
    EXPECT_EQ(menus[2]->text(), Q("ﾍﾙﾌﾟ(&H)"));
    EXPECT_EQ(form.C1->text(), Q("接続(&C)"));
    EXPECT_EQ(form.X1->text(), Q("終了(&X)"));
    EXPECT_EQ(form.H1->text(), Q("ﾊﾙﾃｸｽﾁｬ選択(&H)"));
    EXPECT_EQ(form.S1->text(), Q("ｽﾋﾟﾝﾃｸｽﾁｬ選択(&S)"));
    EXPECT_EQ(form.USEHALU1->text(), Q("Use HAL(&U)"));
    EXPECT_FALSE(form.USEHALU1->isChecked());
    EXPECT_EQ(form.N1->text(), Q("目次(&C)"));
    EXPECT_EQ(form.About1->text(), Q("ﾊﾞｰｼﾞｮﾝ情報(&A)"));
    EXPECT_EQ(form.G1->actions(), (QList<QAction*>{form.C1, form.X1}));
    EXPECT_EQ(form.Help1->actions(), (QList<QAction*>{form.N1, form.About1}));
    EXPECT_EQ(form.frameGeometry().topLeft(), QPoint(13, 14));
    EXPECT_EQ(form.frameGeometry().size(), QSize(328, 266));
    EXPECT_EQ(form.font().family(), Q("ＭＳ Ｐゴシック"));
    EXPECT_EQ(form.font().pixelSize(), 12);
    EXPECT_EQ(form.Timer1->interval(), 1000);
    EXPECT_TRUE(form.Timer1->isActive());
    EXPECT_EQ(form.OpenPictureDialog1.Filter, "ﾋﾞｯﾄﾏｯﾌﾟ (*.bmp)|*.bmp");
}

TEST(MainWindow, TheMessageLoopRunsTheFrameLoopUntilExit) {
    TSystemClock clock;
    TForm1 form(clock);
    form.show();
    int framesAtExit = -1;
    // Long enough for two steps, so that the loop must have drawn at least once.
    QTimer::singleShot(450, [&] {
        framesAtExit = form.DrawYacht1->FrameCounter;
        form.X1->trigger();
    });
    vcl::Application->Run();
    EXPECT_GE(framesAtExit, 1);
    EXPECT_TRUE(vcl::Application->Terminated());
}

TEST(MainWindow, AnExceptionInAHandlerIsShownAndTheProgramGoesOn) {
    std::string shown;
    vcl::Application->OnShowException = [&](const std::string& m) { shown = m; };
    vcl::Application->Guard([] { throw Exception("テスト例外"); });
    EXPECT_EQ(shown, "テスト例外");
    vcl::Application->OnShowException = nullptr;
}

TEST(AboutBox, ShowsNameVersionAndOk) {
    TAboutBox box;
    EXPECT_EQ(box.windowTitle(), Q("ﾊﾞｰｼﾞｮﾝ情報"));
    QStringList texts;
    for (const QLabel* l : box.findChildren<QLabel*>())
        texts << l->text();
    EXPECT_TRUE(texts.contains("Marevo"));
    EXPECT_TRUE(texts.contains(Q("Version 0.4(試作)")));
}

TEST(FileNames, FixedNamesAreFoundWhateverTheirCase) {
    const std::string dir = ::testing::TempDir() + "marevo-case/";
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "haltex.bmp") << "x";
    EXPECT_EQ(rtl::FindFileNoCase("HALTEX.BMP", dir), dir + "haltex.bmp");
    EXPECT_EQ(rtl::FindFileNoCase("SPINTEX.BMP", dir), "");
    std::filesystem::remove_all(dir);
}
