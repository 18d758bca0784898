#include <QDir>
#include <QDragEnterEvent>
#include <QFile>

#include "window_fixture.h"

namespace tessaglyph::testing {
namespace {

const QString kNotSupported = "\rFile type not supported by Tessaglyph.";
const QString kVerifyName = "\rPlease verify the file name.";

void ExpectOneStopMessage(const ScriptedDialogs& dialogs, const QString& text) {
  ASSERT_EQ(dialogs.MessageBoxes().size(), 1u);
  const ScriptedDialogs::MessageBoxCall& box = dialogs.MessageBoxes().front();
  EXPECT_EQ(box.text, text);
  EXPECT_EQ(box.title, "File ERROR");
  EXPECT_EQ(box.icon, Dialogs::Icon::kStop);
  EXPECT_EQ(box.buttons, Dialogs::Buttons::kOk);
}

class DropTest : public WindowTest {
 protected:
  void Drop(const QStringList& paths) {
    Dialog().OnDropFiles(*DropOf(paths));
    AwaitLoad();
  }
};

TEST_F(DropTest, AcceptsPictureNamesInAnyCaseAndNamesTheTextAfterThem) {
  for (const auto& [picture, text] : std::vector<std::pair<std::string, std::string>>{
           {"a.gif", "a.txt"}, {"b.bmp", "b.txt"}, {"Photo.JPG", "Photo.txt"}, {"d.Gif", "d.txt"},
           {"Scan.JPEG", "Scan.txt"}, {"x.jpeg.jpg", "x.jpeg.txt"}}) {
    const QString path = WritePicture(picture, 4, 3);
    Drop({path});
    EXPECT_EQ(Text(IDC_INPUT_PATH), path) << picture;
    EXPECT_EQ(Text(IDC_OUTPUT_PATH), QString::fromStdString(folder_ / text)) << picture;
  }
  EXPECT_TRUE(dialogs_.Unused());
}

TEST_F(DropTest, RefusesOtherNamesWithTheTypeMessage) {
  for (const std::string name : {"photo.png", "noextension", "jpg", "photo.jpg.bak", "photo.jpe"}) {
    dialogs_.ClearRecord();
    const QString path = WritePicture(name, 4, 3);
    Drop({path});
    ExpectOneStopMessage(dialogs_, "You cannot drag open " + path + kNotSupported);
    EXPECT_EQ(Text(IDC_INPUT_PATH), "") << name;
    EXPECT_FALSE(Dialog().Picture().IsLoaded()) << name;
  }
}

TEST_F(DropTest, OnlyTheFirstOfSeveralFilesCounts) {
  const QString first = WritePicture("first.bmp", 5, 2);
  Drop({first, WritePicture("second.bmp", 7, 7), WritePicture("third.png", 1, 1)});
  EXPECT_EQ(Text(IDC_INPUT_PATH), first);
  EXPECT_EQ(Text(IDC_RESOLUTION), "5x2 Pixels");
  EXPECT_TRUE(dialogs_.Unused());

  Drop({WritePicture("fourth.png", 1, 1), first});
  ExpectOneStopMessage(dialogs_, "You cannot drag open " + QString::fromStdString(folder_ / "fourth.png") + kNotSupported);
}

TEST_F(DropTest, DropsAndTheStartUpPictureAreTakenOnceTheEventLoopRuns) {
  const QString photo = WritePicture("photo.jpeg", 3, 2);
  const QString png = WritePicture("notes.png", 1, 1);
  const QString workingFolder = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(folder_.Path().string())));
  Dialog().OpenStartupPicture("photo.jpeg");
  QDir::setCurrent(workingFolder);
  EXPECT_EQ(Text(IDC_INPUT_PATH), "") << "taken before the window was up";
  AwaitLoad();
  EXPECT_EQ(Text(IDC_INPUT_PATH), photo);
  EXPECT_EQ(Text(IDC_OUTPUT_PATH), photo.chopped(5) + ".txt");

  const std::unique_ptr<QMimeData> refused = DropOf({png});
  QDragEnterEvent enter(QPoint(150, 150), Qt::CopyAction, refused.get(), Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&Dialog(), &enter);
  QDropEvent drop(QPointF(150, 150), Qt::CopyAction, refused.get(), Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&Dialog(), &drop);
  EXPECT_TRUE(drop.isAccepted());
  EXPECT_TRUE(dialogs_.Unused()) << "the file manager waits for this box";
  QCoreApplication::sendPostedEvents();
  ExpectOneStopMessage(dialogs_, "You cannot drag open " + png + kNotSupported);
}

TEST_F(DropTest, AFolderNamedLikeAPictureCannotBeOpened) {
  const QString folder = QString::fromStdString(folder_ / "x.gif");
  ASSERT_TRUE(QDir().mkdir(folder));
  Drop({folder});
  ExpectOneStopMessage(dialogs_, "Could not open File " + folder + kVerifyName);
  EXPECT_EQ(Text(IDC_INPUT_PATH), "");
}

TEST_F(DropTest, ALongPathIsUsedWhole) {
  const std::string deep = "a-folder-whose-name-is-long-enough-to-push-the-whole-path-well-past-one-hundred-characters";
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder_ / deep)));
  const QString path = WritePicture(deep + "/picture.bmp", 3, 3);
  ASSERT_GT(path.size(), 120);
  Drop({path});
  EXPECT_EQ(Text(IDC_INPUT_PATH), path);
  EXPECT_EQ(Text(IDC_OUTPUT_PATH), path.chopped(4) + ".txt");

  const QString missing = path.chopped(4) + "-gone.gif";
  Drop({missing});
  ExpectOneStopMessage(dialogs_, "Could not open File " + missing + kVerifyName);
}

TEST_F(DropTest, WindowTakesDragsOfLocalFilesOnly) {
  Dialog().show();
  const auto accepts = [this](const QMimeData& data) {
    QDragEnterEvent event(QPoint(150, 150), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&Dialog(), &event);
    return event.isAccepted();
  };
  EXPECT_TRUE(accepts(*DropOf({"/tmp/any.png"})));
  QMimeData web;
  web.setUrls({QUrl("https://example.org/a.jpg")});
  EXPECT_FALSE(accepts(web));
  QMimeData text;
  text.setText("/tmp/a.jpg");
  EXPECT_FALSE(accepts(text));
  EXPECT_FALSE(Dialog().Control(IDC_INPUT_PATH)->acceptDrops());
}

TEST_F(WindowTest, BrowseOffersTheFourPictureTypesUnderItsTitle) {
  dialogs_.QueueFileDialogCancel();
  Dialog().OnBrowseInput();
  AwaitLoad();
  ASSERT_EQ(dialogs_.FileDialogs().size(), 1u);
  const ScriptedDialogs::FileDialogCall& call = dialogs_.FileDialogs().front();
  EXPECT_EQ(call.kind, ScriptedDialogs::FileDialogKind::kOpen);
  EXPECT_EQ(call.owner, &Dialog());
  EXPECT_EQ(call.title, "Browse for Input Picture");
  ASSERT_EQ(call.filters.size(), 4);
  const QStringList texts = {"All Supported Files (*.bmp, *.jpg, *.gif)", "Bitmap Files (*.bmp)",
                             "JPEG Files (*.jpg)", "GIF Files (*.gif)"};
  const QList<QStringList> patterns = {{"*.bmp", "*.jpg", "*.jpeg", "*.gif"}, {"*.bmp"}, {"*.jpg", "*.jpeg"}, {"*.gif"}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(call.filters[i].displayText, texts[i]);
    EXPECT_EQ(call.filters[i].patterns, patterns[i]);
  }
}

TEST_F(WindowTest, BrowseCancelledChangesNothing) {
  const QString first = WritePicture("first.bmp", 6, 4);
  Load(first);
  dialogs_.QueueFileDialogCancel();
  Dialog().OnBrowseInput();
  AwaitLoad();
  EXPECT_EQ(Text(IDC_INPUT_PATH), first);
  EXPECT_EQ(Text(IDC_RESOLUTION), "6x4 Pixels");
  EXPECT_TRUE(dialogs_.MessageBoxes().empty());
}

TEST_F(WindowTest, BrowseTakesAnyNameWithoutAnExtensionCheck) {
  const QString path = WritePicture("photo.tiff", 2, 2);
  dialogs_.QueueFileChoice(path);
  Dialog().OnBrowseInput();
  AwaitLoad();
  EXPECT_EQ(Text(IDC_INPUT_PATH), path);
  EXPECT_EQ(Text(IDC_OUTPUT_PATH), QString::fromStdString(folder_ / "photo.txt"));
}

TEST_F(WindowTest, NewChoiceReplacesAnOutputNameTypedEarlier) {
  qobject_cast<QLineEdit*>(Dialog().Control(IDC_OUTPUT_PATH))->setText("/somewhere/else.txt");
  const QString path = WritePicture("p.bmp", 2, 2);
  Load(path);
  EXPECT_EQ(Text(IDC_OUTPUT_PATH), path.chopped(4) + ".txt");
}

TEST_F(WindowTest, ReadOnlyPictureIsAccepted) {
  const QString path = WritePicture("locked.bmp", 3, 2);
  ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
  Load(path);
  EXPECT_TRUE(dialogs_.Unused());
  EXPECT_EQ(Text(IDC_INPUT_PATH), path);
  EXPECT_EQ(Text(IDC_RESOLUTION), "3x2 Pixels");
}

TEST_F(WindowTest, MissingFileIsReportedAndChangesNothing) {
  const QString missing = QString::fromStdString(folder_ / "missing.bmp");
  Load(missing);
  ExpectOneStopMessage(dialogs_, "Could not open File " + missing + kVerifyName);
  EXPECT_EQ(Text(IDC_INPUT_PATH), "");
  EXPECT_EQ(Text(IDC_OUTPUT_PATH), "");
  EXPECT_FALSE(Dialog().Picture().IsLoaded());
}

struct UndecodableCase {
  const char* name;
  std::string bytes;
};

class UndecodableTest : public WindowTest, public ::testing::WithParamInterface<UndecodableCase> {};

TEST_P(UndecodableTest, IsReportedAndLeavesThePreviousPictureInPlace) {
  const QString good = WritePicture("good.bmp", 40, 20, kBlue);
  Load(good);
  const QImage before = OwnPainting();
  ASSERT_EQ(BoundsOf(before, kBlue), QRect(20, 105, 210, 105));

  const QString bad = WriteBytes(GetParam().name, GetParam().bytes);
  Load(bad);
  ASSERT_EQ(dialogs_.MessageBoxes().size(), 1u);
  const ScriptedDialogs::MessageBoxCall& box = dialogs_.MessageBoxes().front();
  // The decoder's reason follows as a sentence of its own.
  const QString reason = box.text.mid(("Could not read picture " + bad + "\r").size());
  EXPECT_TRUE(box.text.startsWith("Could not read picture " + bad + "\r") && reason.front().isUpper() &&
              reason.endsWith('.'))
      << box.text.toStdString();
  EXPECT_EQ(box.title, "File ERROR");
  EXPECT_EQ(box.icon, Dialogs::Icon::kStop);

  EXPECT_EQ(Text(IDC_INPUT_PATH), good);
  EXPECT_EQ(Text(IDC_OUTPUT_PATH), good.chopped(4) + ".txt");
  EXPECT_EQ(Text(IDC_RESOLUTION), "40x20 Pixels");
  EXPECT_EQ(Dialog().Picture().Width(), 40);
  EXPECT_EQ(OwnPainting(), before);
}

std::string TruncatedBmp() {
  const std::string bmp = MakeBmp24(30, 30, std::vector<Pixel32>(900, kRed));
  return bmp.substr(0, 54 + 90);
}

std::string HugeBmpHeader() {
  std::string bmp = MakeBmp24(1, 1, {kRed});
  bmp[18] = bmp[19] = bmp[22] = bmp[23] = '\xff';  // 65535 x 65535
  bmp[20] = bmp[24] = '\0';
  return bmp;
}

INSTANTIATE_TEST_SUITE_P(Files, UndecodableTest,
                         ::testing::Values(UndecodableCase{"empty.bmp", ""},
                                           UndecodableCase{"text.jpg", "this is not a picture\n"},
                                           UndecodableCase{"truncated.bmp", TruncatedBmp()},
                                           UndecodableCase{"huge.bmp", HugeBmpHeader()}),
                         [](const auto& row) {
                           return std::string(row.param.name).substr(0, std::string(row.param.name).find('.'));
                         });

TEST_F(WindowTest, ResolutionShowsWidthByHeightInPixels) {
  const struct {
    int width, height;
    const char* text;
  } rows[] = {{640, 480, "640x480 Pixels"}, {1, 1, "1x1 Pixels"}, {1024, 7, "1024x7 Pixels"}};
  for (const auto& row : rows) {
    Load(WritePicture("r.bmp", row.width, row.height));
    EXPECT_EQ(Text(IDC_RESOLUTION), row.text);
  }
}

TEST_F(WindowTest, PictureContentDecidesTheFormatNotTheName) {
  const QString path = WritePicture("really-a-bitmap.gif", 9, 8);
  Dialog().OnDropFiles(*DropOf({path}));
  AwaitLoad();
  EXPECT_TRUE(dialogs_.Unused());
  EXPECT_EQ(Text(IDC_RESOLUTION), "9x8 Pixels");
}

}  // namespace
}  // namespace tessaglyph::testing
