#include "picture_load_job.h"
#include "window_fixture.h"

namespace tessaglyph::testing {
namespace {

TEST_F(WindowTest, APictureLoadedWithAWarningIsShownThenTheWarningExplained) {
  for (const char* name : {"jpeg-baseline-4096x4096-data-ends-early.jpg", "bmp-palette-index-beyond-the-palette.bmp"}) {
    dialogs_.ClearRecord();
    const QString path = QStringLiteral(TESSAGLYPH_TEST_DATA "/bad/") + name;
    bool shownFirst = false;
    dialogs_.OnMessageBox([&](const ScriptedDialogs::MessageBoxCall&) {
      shownFirst = Dialog().Picture().IsLoaded() && Text(IDC_INPUT_PATH) == path;
    });
    Load(path);
    ASSERT_EQ(dialogs_.MessageBoxes().size(), 1u) << name;
    const ScriptedDialogs::MessageBoxCall& box = dialogs_.MessageBoxes().front();
    const QString lead = "Picture " + path + " may be damaged\r";
    const QString reason = box.text.mid(lead.size());
    EXPECT_TRUE(box.text.startsWith(lead) && reason.front().isUpper() && reason.endsWith('.')) << box.text.toStdString();
    EXPECT_EQ(box.title, "Tessaglyph");
    EXPECT_EQ(box.icon, Dialogs::Icon::kExclamation);
    EXPECT_TRUE(shownFirst) << name;
  }
}

TEST_F(WindowTest, ASecondChoiceCancelsTheLoadUnderWayAndWins) {
  const QString first = WritePicture("first.bmp", 3000, 1000, kRed);
  const QString second = WritePicture("second.bmp", 40, 20, kBlue);
  Dialog().SetInputPicture(first);
  EXPECT_EQ(Dialog().cursor().shape(), Qt::BusyCursor);
  EXPECT_EQ(Text(IDC_INPUT_PATH), "") << "the window changes only once a load ends";
  Dialog().SetInputPicture(second);
  AwaitLoad();
  QTest::qWait(200);  // where a stale answer would arrive
  EXPECT_EQ(Text(IDC_INPUT_PATH), second);
  EXPECT_EQ(Text(IDC_RESOLUTION), "40x20 Pixels");
  const QImage painting = OwnPainting();
  EXPECT_EQ(BoundsOf(painting, kBlue), QRect(20, 105, 210, 105));
  EXPECT_TRUE(BoundsOf(painting, kRed).isNull());
  EXPECT_NE(Dialog().cursor().shape(), Qt::BusyCursor);

  const std::atomic<bool> cancelled{true};
  EXPECT_EQ(PictureLoadJob::Load(first, [](int, int) { return QSize(10, 5); }, cancelled).kind,
            PictureLoadJob::Outcome::Kind::kCancelled);
}

TEST_F(WindowTest, AStartUpUriOpensItsLocalFileAndOtherSchemesAreRefused) {
  const QString path = WritePicture("a picture%.bmp", 3, 2);
  Dialog().OpenStartupPicture(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded));
  AwaitLoad();
  EXPECT_EQ(Text(IDC_INPUT_PATH), path);
  EXPECT_TRUE(dialogs_.Unused());

  Dialog().OpenStartupPicture("https://example.org/b.bmp");
  AwaitLoad();
  ASSERT_EQ(dialogs_.MessageBoxes().size(), 1u);
  EXPECT_EQ(dialogs_.MessageBoxes().front().text,
            "Could not open File https://example.org/b.bmp\rOnly files on this computer can be opened.");
  EXPECT_EQ(Text(IDC_INPUT_PATH), path);
}

TEST(DerivedOutputPathTest, ReplacesTheWholeExtension) {
  const std::pair<const char*, const char*> rows[] = {
      {"/p/dune.webp", "/p/dune.txt"},   {"/p/Photo.JPG", "/p/Photo.txt"},  {"/p/scan.jpeg", "/p/scan.txt"},
      {"/p/a.b/noext", "/p/a.b/noext.txt"}, {"/p/.hidden", "/p/.hidden.txt"}, {"/p/x.tar.gz", "/p/x.tar.txt"},
      {"/p/end.", "/p/end.txt"}};
  for (const auto& [picture, text] : rows) {
    EXPECT_EQ(ConverterDialog::DerivedOutputPath(picture), text) << picture;
  }
}

}  // namespace
}  // namespace tessaglyph::testing
