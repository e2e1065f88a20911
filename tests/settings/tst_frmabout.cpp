// Widget tests of the settings dialog and its drive and folder lists, under the
// offscreen platform. The program folder is a temporary folder seen through the DOS view.

#include "FakePlatform.h"
#include "Pictures.h"
#include "TempDir.h"
#include "frmAbout.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QtTest>

#include <memory>
#include <optional>

using settings::frmAbout;

namespace {

const QString Refused = QStringLiteral("Inserire un numero di secondi da 1 a 9");
const QString TooMany = QStringLiteral(
    "Vuoi fare addormentare tutti quanti! 30 secondi mi sembrano il massimo per una foto.");

QString captionOf(const QWidget* w) {
    if (const auto* l = qobject_cast<const QLabel*>(w)) return l->text();
    if (const auto* b = qobject_cast<const QAbstractButton*>(w)) return b->text();
    if (const auto* e = qobject_cast<const QLineEdit*>(w)) return e->text();
    if (const auto* g = qobject_cast<const QGroupBox*>(w)) return g->title();
    return {};
}

const QString BrowserMissing =
    QStringLiteral(" - Non trovato il Browser, controllare installazione di Windows");
const QString NotepadMissing =
    QStringLiteral("Non trovato NOTEPAD.EXE (Blocco appunti) controllare installazione Windows.");
const QString NoSysInfo =
    QStringLiteral("Le informazioni sul sistema non sono disponibili in questa fase");

// Records the pointer calls in order: "icon KEY X,Y" and "shape N".
class SequencePointer final : public rt::MousePointer {
public:
    void setIcon(const QPixmap& icon, QPoint hot) override {
        calls << QStringLiteral("icon %1 %2,%3").arg(icon.cacheKey()).arg(hot.x()).arg(hot.y());
    }
    void setShape(rt::PointerShape shape) override {
        calls << QStringLiteral("shape %1").arg(int(shape));
    }
    QStringList calls;
};

QString iconCall(const QLabel* picture, QPoint hot) {
    return QStringLiteral("icon %1 %2,%3")
        .arg(picture->pixmap().cacheKey())
        .arg(hot.x())
        .arg(hot.y());
}

} // namespace

Q_DECLARE_METATYPE(std::vector<FixedScreen::Monitor>)

class TestFrmAbout : public QObject {
    Q_OBJECT

    std::unique_ptr<TempDir> tmp;
    QString program; // DOS path of the program folder
    std::unique_ptr<FakePlatform> fp;
    settings::Modulo1 s;
    std::unique_ptr<frmAbout> dlg;
    // The monitors of the desktop, when not the one 1024 x 768 screen.
    std::vector<FixedScreen::Monitor> monitors;
    int primary = 0;

    // Lays out the settings file (when given), loads and shows the dialog.
    bool open(const QByteArray& ini = {}, std::vector<rt::Drive> drives = {}) {
        rt::DriveTable table = drives.empty() ? rt::DriveTable() : rt::DriveTable(drives);
        program = rt::DosFileSystem(table).toDos(tmp->path()).value();
        if (!ini.isEmpty()) tmp->file(QStringLiteral("QUADRO.INI"), ini);
        fp = std::make_unique<FakePlatform>(program, table);
        if (!monitors.empty()) fp->screen.monitors = monitors;
        fp->screen.primary = fp->screen.shown = primary;
        dlg = std::make_unique<frmAbout>(fp->platform, s);
        // The tests tick the animations themselves (timersRunWithTheDialog lets them run).
        dlg->Timer2->setEnabled(false);
        dlg->Timer3->setEnabled(false);
        dlg->Form_Load();
        dlg->show();
        return QTest::qWaitForWindowActive(dlg.get()) &&
               QTest::qWaitFor([&] { return dlg->folderListReady(); }, 5000);
    }
    // Opens a folder in the list and waits for its listing: how it went.
    static rt::Error opened(rt::DirListBox* dir, const QString& path) {
        std::optional<rt::Error> result;
        dir->setPath(path, [&](rt::Error e) { result = e; });
        if (!QTest::qWaitFor([&] { return result.has_value(); }, 5000))
            return {-1, QStringLiteral("no answer")};
        return *result;
    }
    // Waits for the listing under way.
    static bool listed(const rt::DirListBox* dir) {
        return QTest::qWaitFor([&] { return !dir->listing(); }, 5000);
    }
    QByteArray ini() const { return tmp->read(QStringLiteral("QUADRO.INI")); }
    QStringList iniLines() const { return QString::fromUtf8(ini()).split(QStringLiteral("\r\n")); }
    void press(QWidget* w, Qt::Key key) {
        w->setFocus(Qt::TabFocusReason);
        QTest::keyClick(w, key);
    }

private slots:
    void init() {
        tmp = std::make_unique<TempDir>();
        s = {};
        monitors.clear();
        primary = 0;
    }
    void cleanup() {
        dlg.reset();
        fp.reset();
        tmp.reset();
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void layout_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("box");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("tip");
        const auto row = [](const char* n, QRect r, const char* caption = "",
                            const char* tip = "") {
            QTest::newRow(n) << QString::fromLatin1(n) << r << QString::fromUtf8(caption)
                             << QString::fromUtf8(tip);
        };
        row("Image1", {24, 8, 58, 58});
        row("lblTitle", {102, 16, 259, 24}, "Quadrello");
        row("lblDescription", {102, 32, 379, 30},
            "Screen show di immagini, suoni di commento e musiche di sottofondo  "
            "(Selezionare la cartella da utilizzare)");
        row("Dir1", {24, 80, 169, 96}, "", "Seleziona la cartella scelta e le cartelle figlie.");
        row("Drive1", {24, 184, 169, 21});
        row("Image3(3)", {24, 216, 169, 89});
        row("Frame1", {208, 80, 273, 225}, "Quadrello");
        row("Label1", {24, 24, 153, 17}, "Tempo di posa di una immagine:");
        row("Text1", {184, 16, 33, 25}, "5");
        row("Label2", {224, 24, 41, 17}, "secondi");
        row("cmdOK", {24, 48, 105, 25}, "&OK");
        row("Command2", {144, 48, 105, 25}, "&Aiuto");
        row("cmdSysInfo", {24, 88, 105, 25}, "&System Info...");
        row("Command1", {144, 88, 105, 25}, "&Fine");
        row("Command3", {24, 128, 225, 33}, "&Trevisolo", "Il TRV è una suite di giochi/utilities");
        row("Check1", {24, 168, 145, 25}, "Musica di sottofondo",
            "Suona/Non suona il file midi che trova nella cartella.");
        row("Check3", {152, 176, 105, 17}, "Cambio animato",
            "Attiva/Disattiva le animazioni tra una foto e l'altra");
        row("Check2", {24, 192, 137, 25}, "Commenti audio",
            "Abilita/Disabilita i commenti sonori.");
        row("Label4", {24, 312, 241, 17}, "http://www.quadrello.example/",
            "Visita la home page dell'autore ...");
        row("Label3", {352, 312, 129, 17}, "autore@quadrello.example", "Scrivi all'autore ...");
        row("Image2", {24, 344, 32, 32}, "", "Dai una sbirciatina ai giochi del Trevisolo");
        row("lblDisclaimer", {56, 352, 433, 23}, " ");
        row("Image3(0)", {224, 424, 120, 58});
        row("Image3(1)", {352, 424, 120, 58});
        row("Image3(2)", {480, 424, 120, 58});
        row("Picture1", {104, 400, 36, 36});
        row("Picture3", {152, 400, 36, 36});
    }
    void layout() {
        QFETCH(QString, name);
        QVERIFY(open());
        const auto* w = dlg->findChild<QWidget*>(name);
        QVERIFY(w);
        QTEST(w->geometry(), "box");
        QTEST(captionOf(w), "caption");
        QTEST(w->toolTip(), "tip");
        static const QStringList inFrame{"Label1",   "Text1",      "Label2",   "cmdOK",
                                         "Command2", "cmdSysInfo", "Command1", "Command3",
                                         "Check1",   "Check3",     "Check2"};
        QCOMPARE(w->parentWidget(), inFrame.contains(name) ? static_cast<QWidget*>(dlg->Frame1)
                                                           : static_cast<QWidget*>(dlg.get()));
    }

    void formAndPictures() {
        QVERIFY(open());
        QCOMPARE(dlg->size(), QSize(504, 392));
        QCOMPARE(dlg->minimumSize(), dlg->maximumSize());
        QCOMPARE(dlg->windowTitle(), QStringLiteral("Informazioni su Quadrello"));
        // Centred on the 1024 x 768 screen by its outer size (a 2-pixel frame offscreen).
        QCOMPARE(dlg->frameGeometry(), QRect(258, 186, 508, 396));
        const Qt::WindowFlags f = dlg->windowFlags();
        QVERIFY(f & Qt::WindowCloseButtonHint);
        QVERIFY(!(f & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QCOMPARE(QApplication::focusWidget(), dlg->Dir1);
        QVERIFY(dlg->cmdOK->isDefault());
        const std::vector<std::pair<const QLabel*, QPixmap>> pictures{
            {dlg->Image3[0], assets::banner(0)},  {dlg->Image3[1], assets::banner(1)},
            {dlg->Image3[2], assets::banner(2)},  {dlg->Image3[3], assets::banner(0)},
            {dlg->Image1, assets::programIcon()}, {dlg->Picture1, assets::pencilIcon()},
            {dlg->Picture3, assets::handIcon()}};
        for (const auto& [l, p] : pictures)
            QVERIFY2(l->pixmap().toImage() == p.toImage(), qPrintable(l->objectName()));

        dlg->Text1->setFocus();
        QTest::keyClicks(dlg->Text1, QStringLiteral("123"));
        QCOMPARE(dlg->Text1->text(), QStringLiteral("12"));

        // The etched lines: grey over the upper row of each 2-pixel white line.
        const QImage img = dlg->grab().toImage();
        const QRgb grey = qRgb(128, 128, 128), white = qRgb(255, 255, 255);
        for (const auto& [y, rgb] : std::vector<std::pair<int, QRgb>>{
                 {0, grey}, {1, white}, {72, grey}, {73, white}, {331, white}, {332, grey}})
            QCOMPARE(img.pixel(100, y), rgb);
    }

    // No caption may be cut by its box in the dialog font.
    void captionsFitTheirBoxes() {
        QVERIFY(open());
        const QStyle* st = dlg->style();
        for (const QWidget* w : dlg->findChildren<QWidget*>()) {
            const QString text = captionOf(w).remove(QLatin1Char('&'));
            const QFontMetrics fm(w->font());
            if (const auto* l = qobject_cast<const QLabel*>(w); l && !text.isEmpty()) {
                QVERIFY2(l->wordWrap() ? l->heightForWidth(l->width()) <= l->height()
                                       : fm.horizontalAdvance(text) <= l->width() &&
                                             fm.height() <= l->height(),
                         qPrintable(w->objectName()));
            } else if (qobject_cast<const QCheckBox*>(w)) {
                QVERIFY2(w->sizeHint().width() <= w->width(), qPrintable(w->objectName()));
            } else if (qobject_cast<const QPushButton*>(w)) {
                const int margins = 2 * st->pixelMetric(QStyle::PM_ButtonMargin, nullptr, w);
                QVERIFY2(fm.horizontalAdvance(text) + margins <= w->width(),
                         qPrintable(w->objectName()));
            }
        }
    }

    void tabOrder_data() {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        const QStringList order{"Dir1",   "Drive1",     "Check2",   "Check1",
                                "Check3", "Command3",   "Command2", "Command1",
                                "cmdOK",  "cmdSysInfo", "Text1",    "Dir1"};
        for (qsizetype i = 0; i + 1 < order.size(); ++i)
            QTest::newRow(qPrintable(order[i])) << order[i] << order[i + 1];
    }
    void tabOrder() {
        QFETCH(QString, from);
        QVERIFY(open());
        press(dlg->findChild<QWidget*>(from), Qt::Key_Tab);
        QTEST(QApplication::focusWidget()->objectName(), "to");
    }

    void enterAndEsc_data() {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("pressesOk");
        for (const char* w : {"Dir1", "Drive1", "Check1", "Text1", "cmdOK"}) {
            QTest::addRow("Enter in %s", w) << w << int(Qt::Key_Return) << true;
            QTest::addRow("Esc in %s", w) << w << int(Qt::Key_Escape) << true;
        }
        QTest::newRow("Esc on another button") << "Command3" << int(Qt::Key_Escape) << true;
        QTest::newRow("Enter on another button") << "Command2" << int(Qt::Key_Enter) << false;
    }
    void enterAndEsc() {
        QFETCH(QString, focus);
        QFETCH(int, key);
        QVERIFY(open());
        press(dlg->findChild<QWidget*>(focus), Qt::Key(key));
        QFETCH(bool, pressesOk);
        QCOMPARE(dlg->isVisible(), !pressesOk);
        QCOMPARE(s.GoFlag, pressesOk ? settings::True : settings::False);
        QCOMPARE(ini().isEmpty(), !pressesOk);
        QCOMPARE(fp->programEnd.calls, 0);
    }

    void okWithSeconds_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");  // empty when OK accepts
        QTest::addColumn<QString>("boxAfter"); // what the refused box then holds
        QTest::addColumn<int>("ms");
        QTest::newRow("31") << "31" << TooMany << "30" << 0;
        QTest::newRow("30") << "30" << QString() << "" << 30000;
        QTest::newRow("05") << "05" << QString() << "" << 5000;
        QTest::newRow("1") << "1" << QString() << "" << 1000;
        QTest::newRow("7x, unreadable by the locale") << "7x" << QString() << "" << 7000;
        QTest::newRow("0") << "0" << Refused << "0" << 0;
        QTest::newRow("-5") << "-5" << Refused << "-5" << 0;
        QTest::newRow("empty") << "" << Refused << "" << 0;
    }
    void okWithSeconds() {
        QFETCH(QString, typed);
        QFETCH(QString, message);
        const QByteArray before = "TempoAttesa=8\r\n";
        QVERIFY(open(before));
        QCOMPARE(dlg->Text1->text(), QStringLiteral("8"));
        dlg->Text1->setText(typed);
        press(dlg->Dir1, Qt::Key_Return);
        QCOMPARE(s.GoFlag, settings::True); // raised even by a refused OK
        if (message.isEmpty()) {
            QVERIFY(fp->messages.shown.empty());
            QVERIFY(!dlg->isVisible());
            QTEST(int(s.TempoAttesa), "ms");
            QCOMPARE(iniLines().value(1), QStringLiteral("TempoAttesa=") + typed);
            return;
        }
        QCOMPARE(fp->messages.texts(), QStringList{message});
        QCOMPARE(fp->messages.shown[0].title, QStringLiteral("Quadrello"));
        QVERIFY(dlg->isVisible());
        QCOMPARE(ini(), before);
        QCOMPARE(s.TempoAttesa, 8);
        QCOMPARE(QApplication::focusWidget(), dlg->Text1);
        QTEST(dlg->Text1->selectedText(), "boxAfter");
        QTEST(dlg->Text1->text(), "boxAfter");
    }

    // A stored value longer than two characters is shown whole and checked by OK; only
    // typing is limited to two characters.
    void storedSecondsAreShownWhole() {
        const QByteArray before = "TempoAttesa=100\r\n";
        QVERIFY(open(before));
        QCOMPARE(dlg->Text1->text(), QStringLiteral("100"));
        press(dlg->Dir1, Qt::Key_Return);
        QCOMPARE(fp->messages.texts(), QStringList{TooMany});
        QCOMPARE(dlg->Text1->text(), QStringLiteral("30"));
        QCOMPARE(ini(), before);

        QVERIFY(open("TempoAttesa=-12\r\n"));
        QCOMPARE(dlg->Text1->text(), QStringLiteral("-12"));
        dlg->Text1->setFocus();
        dlg->Text1->end(false);
        QTest::keyClicks(dlg->Text1, QStringLiteral("7"));
        QCOMPARE(dlg->Text1->text(), QStringLiteral("-12"));
        QTest::keyClick(dlg->Text1, Qt::Key_Backspace);
        QTest::keyClicks(dlg->Text1, QStringLiteral("7"));
        QCOMPARE(dlg->Text1->text(), QStringLiteral("-1"));
    }

    void okWritesTheFile() {
        tmp->folder(QStringLiteral("foto"));
        QVERIFY(open("MusicaFM= 1 \r\nSuonoWAV= 2 \r\nEffetti= 0 \r\n"));
        QCOMPARE(dlg->Check1->checkState(), Qt::Checked);
        QCOMPARE(dlg->Check2->checkState(), Qt::PartiallyChecked); // greyed by the file
        QCOMPARE(dlg->Check3->checkState(), Qt::Unchecked);
        QVERIFY(!dlg->Check1->isTristate() && !dlg->Check3->isTristate());
        press(dlg->Check1, Qt::Key_Space);
        QCOMPARE(s.TempoAttesa, 0); // no seconds line: the box shows 0
        dlg->Text1->setText(QStringLiteral("12"));
        const QListWidgetItem* foto =
            dlg->Dir1->findItems(QStringLiteral("foto"), Qt::MatchExactly).value(0);
        QVERIFY(foto);
        QTest::mouseDClick(dlg->Dir1->viewport(), Qt::LeftButton, {},
                           dlg->Dir1->visualItemRect(foto).center());
        const QString folder = program + QStringLiteral("\\foto");
        QCOMPARE(dlg->Dir1->path(), folder);
        dlg->cmdOK->click();
        QCOMPARE(ini(), ("PATH=" + folder +
                         "\r\nTempoAttesa=12\r\nMusicaFM= 0 \r\nSuonoWAV= 2 \r\n"
                         "Effetti= 0 \r\n")
                            .toUtf8());
        QCOMPARE(s.FolderPath, folder + QLatin1Char('\\'));
        QCOMPARE(s.TempoAttesa, 12000);
        QCOMPARE(s.MusicaFM, 0);
        QCOMPARE(s.SuonoWAV, 2);
        QCOMPARE(fp->files.curDir(), program); // the settings were written from there
    }

    // The dialog stands wholly on the primary monitor, wherever that is on the desktop;
    // the show goes to the monitor that holds most of the dialog when OK is pressed.
    void standsOnThePrimaryAndTheShowGoesWhereItIs_data() {
        QTest::addColumn<std::vector<FixedScreen::Monitor>>("desktop");
        QTest::addColumn<int>("primaryMonitor");
        QTest::addColumn<QRect>("frame"); // the dialog's outer place, 2-pixel frame offscreen
        QTest::addColumn<QPoint>("draggedTo");
        QTest::addColumn<int>("show");
        const std::vector<FixedScreen::Monitor> equal{{{0, 0, 1024, 768}, 1},
                                                      {{1024, 0, 1024, 768}, 1}};
        const std::vector<FixedScreen::Monitor> mixed{{{0, 0, 1920, 1080}, 1},
                                                      {{1920, 0, 3840, 2160}, 1}};
        const QPoint stays(-1, -1);
        QTest::newRow("equal, left primary")
            << equal << 0 << QRect(258, 186, 508, 396) << stays << 0;
        QTest::newRow("equal, right primary")
            << equal << 1 << QRect(1282, 186, 508, 396) << stays << 1;
        QTest::newRow("4K primary on the right")
            << mixed << 1 << QRect(3586, 882, 508, 396) << stays << 1;
        QTest::newRow("dragged to the laptop")
            << mixed << 1 << QRect(3586, 882, 508, 396) << QPoint(300, 200) << 0;
        QTest::newRow("dragged mostly over to the 4K one")
            << mixed << 0 << QRect(706, 342, 508, 396) << QPoint(1700, 200) << 1;
        QTest::newRow("above another, primary below")
            << std::vector<FixedScreen::Monitor>{{{0, -1024, 1280, 1024}, 1},
                                                 {{0, 0, 1280, 1024}, 1}}
            << 1 << QRect(386, 314, 508, 396) << QPoint(300, -700) << 0;
    }
    void standsOnThePrimaryAndTheShowGoesWhereItIs() {
        QFETCH(std::vector<FixedScreen::Monitor>, desktop);
        QFETCH(int, primaryMonitor);
        monitors = desktop;
        primary = primaryMonitor;
        QVERIFY(open());
        QTEST(dlg->frameGeometry(), "frame");
        QFETCH(QPoint, draggedTo);
        if (draggedTo != QPoint(-1, -1)) dlg->move(draggedTo);
        dlg->cmdOK->click();
        QCOMPARE(s.GoFlag, settings::True);
        QTEST(fp->screen.shown, "show");
    }

    void rootFolderKeepsOneBackslash() {
        QVERIFY(open());
        QVERIFY(!opened(dlg->Dir1, QStringLiteral("C:\\")).failed());
        dlg->cmdOK->click();
        QCOMPARE(s.FolderPath, QStringLiteral("C:\\"));
        QCOMPARE(iniLines().value(0), QStringLiteral("PATH=C:\\"));
    }

    void storedFolder_data() {
        QTest::addColumn<QString>("stored"); // relative to the program folder, or absolute
        QTest::addColumn<bool>("kept");
        QTest::newRow("existing") << "\\foto" << true;
        QTest::newRow("deleted since") << "\\gone" << false;
        QTest::newRow("unknown drive") << "Q:\\foto" << false;
        QTest::newRow("empty") << "" << false;
    }
    void storedFolder() {
        QFETCH(QString, stored);
        QFETCH(bool, kept);
        tmp->folder(QStringLiteral("foto"));
        const QString folder = stored.startsWith(QLatin1Char('\\'))
                                   ? rt::DosFileSystem().toDos(tmp->path()).value() + stored
                                   : stored;
        QVERIFY(open(("PATH=" + folder + "\r\n").toUtf8()));
        const QString expected = kept ? folder : program;
        QCOMPARE(dlg->Dir1->path(), expected);
        QCOMPARE(s.FolderPath, expected);
        QCOMPARE(fp->files.curDir(), expected);
        QVERIFY(fp->messages.shown.empty());
    }

    // The stored folder's check has not answered yet (a share that does not answer): the
    // list shows that folder, not listed, never the folder the program was started in,
    // and OK keeps it and writes it back.
    void okBeforeTheStoredFolderIsCheckedKeepsIt() {
        tmp->folder(QStringLiteral("foto/sub"));
        tmp->folder(QStringLiteral("started/here"));
        program = rt::DosFileSystem().toDos(tmp->path()).value();
        const QString folder = program + QStringLiteral("\\foto");
        tmp->file(QStringLiteral("QUADRO.INI"),
                  ("PATH=" + folder + "\r\nTempoAttesa=3\r\n").toUtf8());
        fp = std::make_unique<FakePlatform>(program);
        QVERIFY(!fp->files.chDir(program + QStringLiteral("\\started")).failed());
        dlg = std::make_unique<frmAbout>(fp->platform, s);
        dlg->Timer2->setEnabled(false);
        dlg->Timer3->setEnabled(false);
        dlg->Form_Load(); // no event runs before OK: the check cannot have answered
        QCOMPARE(dlg->Dir1->path(), folder);
        QStringList shown;
        for (int i = 0; i < dlg->Dir1->count(); ++i)
            shown << dlg->Dir1->item(i)->text();
        QVERIFY2(!shown.contains(QStringLiteral("sub")) && !shown.contains(QStringLiteral("here")),
                 qPrintable(shown.join(QLatin1Char(','))));
        QCOMPARE(shown.last(), QStringLiteral("foto"));
        dlg->cmdOK->click();
        QCOMPARE(iniLines().value(0), "PATH=" + folder);
        QCOMPARE(s.FolderPath, folder + QLatin1Char('\\'));
    }

    // Even the program folder cannot be made current: the load does not retry forever.
    void loadGivesUpWhenTheProgramFolderIsGone() {
        QVERIFY(open());
        const QString before = dlg->Dir1->path();
        frmAbout again(fp->platform, s);
        fp->platform.programFolder = program + QStringLiteral("\\gone");
        again.Form_Load();
        QVERIFY(QTest::qWaitFor([&] { return again.folderListReady(); }, 5000));
        QCOMPARE(again.Text1->text(), QStringLiteral("5"));
        QCOMPARE(again.Dir1->path(), before);
    }

    void driveList() {
        TempDir stick;
        stick.folder(QStringLiteral("viaggio"));
        QVERIFY(open(
            {}, {{'C', "/", "/"}, {'D', stick.path(), "FOTO"}, {'E', "/no/such/volume", "CD"}}));
        QCOMPARE(dlg->Drive1->count(), 3);
        QCOMPARE(dlg->Drive1->itemText(0), QStringLiteral("c: [/]"));
        QCOMPARE(dlg->Drive1->itemText(1), QStringLiteral("d: [FOTO]"));
        QCOMPARE(dlg->Drive1->drive(), QStringLiteral("c:"));

        dlg->Drive1->setCurrentIndex(1); // the user picks D:
        QCOMPARE(dlg->Dir1->path(), QStringLiteral("D:\\"));
        QVERIFY(listed(dlg->Dir1));
        QCOMPARE(dlg->Dir1->item(1)->text(), QStringLiteral("viaggio"));

        QVERIFY(dlg->Drive1->setDrive(QStringLiteral("e:\\")));
        QVERIFY(QTest::qWaitFor([&] { return !fp->messages.shown.empty(); }, 5000));
        QVERIFY(listed(dlg->Dir1));
        QCOMPARE(fp->messages.texts(),
                 QStringList{QStringLiteral("Errore di lettura dal drive specificato")});
        QCOMPARE(dlg->Drive1->drive(), QStringLiteral("c:"));
        QCOMPARE(dlg->Dir1->path(), program);
        QVERIFY(!dlg->Drive1->setDrive(QStringLiteral("z")));
        QCOMPARE(dlg->Drive1->drive(), QStringLiteral("c:"));
    }

    void folderList() {
        for (const char* name : {"b", "A", "c", ".hidden"})
            tmp->folder(QString::fromLatin1(name));
        tmp->file(QStringLiteral("f.txt"));
        QVERIFY(open());
        rt::DirListBox* dir = dlg->Dir1;
        const QStringList chain = program.mid(3).split(QLatin1Char('\\'));
        QStringList texts;
        for (int i = 0; i < dir->count(); ++i) {
            texts << dir->item(i)->text();
            const int level = dir->item(i)->data(rt::DirListBox::LevelRole).toInt();
            QCOMPARE(level, std::min(i, int(chain.size()) + 1));
        }
        QCOMPARE(texts, QStringList(QStringLiteral("c:\\")) + chain + QStringList({"A", "b", "c"}));
        QCOMPARE(dir->currentItem()->text(), chain.last());

        press(dir, Qt::Key_Down); // moves the highlight, opens nothing
        QCOMPARE(dir->currentItem()->text(), QStringLiteral("A"));
        QCOMPARE(dir->path(), program);

        QCOMPARE(opened(dir, program + QStringLiteral("\\nope")).number, rt::err::PathNotFound);
        QCOMPARE(dir->count(), texts.size());
        QVERIFY(!opened(dir, QStringLiteral("c:")).failed()); // C:'s current directory
        QCOMPARE(dir->path(), program);
        QTest::mouseDClick(dir->viewport(), Qt::LeftButton, {},
                           dir->visualItemRect(dir->item(0)).center());
        QCOMPARE(dir->path(), QStringLiteral("C:\\"));
        QVERIFY(listed(dir));
        QCOMPARE(dir->currentRow(), 0);
    }

    void leavingTheSecondsBox_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("messages");
        const auto row = [](const char* name, const char* typed, const char* action, int n) {
            QTest::newRow(name) << typed << action << n;
        };
        row("0, Tab", "0", "tab", 1);
        row("empty, Tab", "", "tab", 1);
        row("word, Tab", "ab", "tab", 1);
        row("-5, Tab", "-5", "tab", 0);
        row("0, click on Fine", "0", "fine", 1);
        row("0, click on OK", "0", "ok", 1);
        row("0, Alt+O", "0", "alt+o", 1);
        row("0, focus moves while the box is open", "0", "reenter", 1);
        row("0, other window", "0", "window", 0);
    }
    void leavingTheSecondsBox() {
        QFETCH(QString, typed);
        QFETCH(QString, action);
        QFETCH(int, messages);
        QVERIFY(open());
        dlg->Text1->setFocus();
        dlg->Text1->setText(typed);
        QWidget other;
        if (action == "tab") QTest::keyClick(dlg->Text1, Qt::Key_Tab);
        if (action == "fine") QTest::mouseClick(dlg->Command1, Qt::LeftButton);
        if (action == "ok") QTest::mouseClick(dlg->cmdOK, Qt::LeftButton);
        if (action == "alt+o") {
            QTest::keyClick(dlg->Text1, Qt::Key_O, Qt::AltModifier);
            QTRY_VERIFY(!dlg->cmdOK->isDown()); // the access key's click has run
        }
        if (action == "reenter") {
            fp->messages.onShow = [this](const ShownMessage&) {
                if (fp->messages.shown.size() > 1) return;
                dlg->Text1->setFocus();
                dlg->Drive1->setFocus();
            };
            QTest::keyClick(dlg->Text1, Qt::Key_Tab);
        }
        if (action == "window") {
            other.show();
            other.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&other));
        }
        QCOMPARE(int(fp->messages.shown.size()), messages);
        QCOMPARE(fp->programEnd.calls, 0);
        QVERIFY(dlg->isVisible());
        if (messages) {
            QCOMPARE(fp->messages.shown[0].text, Refused);
            QCOMPARE(QApplication::focusWidget(), dlg->Text1);
            QCOMPARE(dlg->Text1->selectedText(), typed);
        }
    }

    void endsTheProgram_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Fine") << "fine";
        QTest::newRow("close box") << "close";
        QTest::newRow("Esc that OK cannot take") << "esc";
    }
    void endsTheProgram() {
        QFETCH(QString, how);
        QVERIFY(open());
        if (how == "fine") QTest::mouseClick(dlg->Command1, Qt::LeftButton);
        if (how == "close") dlg->close();
        if (how == "esc") {
            dlg->cmdOK->setEnabled(false);
            press(dlg->Dir1, Qt::Key_Escape);
        }
        QCOMPARE(fp->programEnd.calls, 1);
        QVERIFY(!dlg->isVisible());
        QVERIFY(ini().isEmpty());
        QCOMPARE(s.GoFlag, settings::False);
    }

    void pointerTurnsToArrowOverTheBackground() {
        QVERIFY(open());
        const auto moveTo = [this](QWidget* w, QPoint p) {
            fp->pointer.shapes.clear();
            QTest::mouseMove(w, p);
        };
        moveTo(dlg->Dir1->viewport(), {20, 20});
        QTRY_COMPARE(fp->pointer.last(), rt::PointerShape::Arrow);
        moveTo(dlg.get(), {450, 8});
        QTRY_COMPARE(fp->pointer.last(), rt::PointerShape::Arrow);
        moveTo(dlg->Frame1, {200, 212});
        QTRY_COMPARE(fp->pointer.last(), rt::PointerShape::Arrow);
        moveTo(dlg->cmdOK, {20, 10}); // a control, not the background
        QTest::qWait(20);
        QVERIFY(fp->pointer.shapes.empty());
    }

    void shownModally() {
        program = rt::DosFileSystem().toDos(tmp->path()).value();
        fp = std::make_unique<FakePlatform>(program);
        QTimer::singleShot(
            0, [] { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Return); });
        QTimer fallback; // only needed if Enter failed: the modal loop still ends
        fallback.setSingleShot(true);
        connect(&fallback, &QTimer::timeout, [] {
            if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->done(0);
        });
        fallback.start(10000);
        settings::ShowSettingsDialog(fp->platform, s);
        QCOMPARE(s.GoFlag, settings::True);
        QCOMPARE(s.TempoAttesa, 5000);
        QCOMPARE(iniLines().value(1), QStringLiteral("TempoAttesa=5"));
    }

    // --- Animations ------------------------------------------------------------------

    void timersRunWithTheDialog() {
        program = rt::DosFileSystem().toDos(tmp->path()).value();
        fp = std::make_unique<FakePlatform>(program);
        frmAbout d(fp->platform, s);
        QVERIFY(d.Timer2->enabled() && d.Timer3->enabled());
        QCOMPARE(d.Timer2->interval(), 600);
        QCOMPARE(d.Timer3->interval(), 50);
        d.Form_Load();
        d.show();
        QTRY_VERIFY(d.Label3->x() <= 340);
        QTRY_COMPARE(d.Image3[3]->pixmap().cacheKey(), d.Image3[1]->pixmap().cacheKey());
        QVERIFY(d.Label3->x() >= 276 && d.Label3->x() <= 356);
    }

    void bannerCyclesThroughItsThreeStores() {
        QVERIFY(open());
        // Pictures of the test's own in the stores: the banner must take them from there.
        for (std::size_t i = 0; i < 3; ++i) {
            QPixmap p(100, 47);
            p.fill(QColor(int(i) * 100, 0, 0));
            dlg->Image3[i]->setPixmap(p);
        }
        QCOMPARE(dlg->BannerStep, 0);
        for (const int expected : {1, 2, 3, 1, 2, 3, 1}) {
            dlg->Timer2_Timer();
            QCOMPARE(dlg->BannerStep, expected);
            QCOMPARE(dlg->Image3[3]->pixmap().cacheKey(),
                     dlg->Image3[std::size_t(expected - 1)]->pixmap().cacheKey());
        }
        QCOMPARE(dlg->Image3[3]->geometry(), QRect(24, 216, 169, 89));
    }

    void contactAddressSwings_data() {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("step");
        QTest::addColumn<QList<int>>("lefts"); // after each tick
        QList<int> swing;
        for (int x = 348; x >= 276; x -= 4)
            swing << x; // 19 ticks left
        for (int x = 280; x <= 356; x += 4)
            swing << x; // 20 ticks right
        swing << 352 << 348;
        QTest::newRow("from 352: 276 to 356 and back") << 352 << 0 << swing;
        QTest::newRow("280 exactly turns nothing") << 284 << 4 << QList<int>{280, 276, 280, 284};
        QTest::newRow("355 exactly turns nothing") << 351 << -4 << QList<int>{355, 359, 355, 351};
        QTest::newRow("359 swings 279 to 359") << 359 << 0 << QList<int>{355, 351, 347};
        QTest::newRow("right of 359 jitters") << 360 << 0 << QList<int>{356, 360, 356, 360};
        QTest::newRow("far right jitters") << 500 << 0 << QList<int>{496, 500, 496};
        QTest::newRow("left of 280 jitters too") << 200 << 0 << QList<int>{196, 200, 196};
    }
    void contactAddressSwings() {
        QFETCH(int, start);
        QFETCH(int, step);
        QFETCH(QList<int>, lefts);
        QVERIFY(open());
        dlg->Label3->move(start, 312);
        dlg->SlideStep = std::int16_t(step);
        QList<int> seen;
        for (qsizetype i = 0; i < lefts.size(); ++i) {
            dlg->Timer3_Timer();
            seen << dlg->Label3->x();
        }
        QCOMPARE(seen, lefts);
        QCOMPARE(dlg->Label3->y(), 312);
        QCOMPARE(dlg->Label3->size(), QSize(129, 17));
        QCOMPARE(dlg->Label3->text(), QStringLiteral("autore@quadrello.example"));
    }

    // The pointer as the mouse travels: pencil over the address, hand over the home page
    // and the banner, icon first; controls keep it, the backgrounds bring the arrow back.
    void pointerFollowsTheMouse() {
        program = rt::DosFileSystem().toDos(tmp->path()).value();
        fp = std::make_unique<FakePlatform>(program);
        SequencePointer pointer;
        rt::Platform platform{fp->files,          fp->messages,    pointer,
                              fp->programEnd,     fp->screen,      fp->clock,
                              fp->random,         fp->sharedMedia, fp->launcher,
                              fp->registry,       fp->screenAwake, fp->sharedMetafiles,
                              fp->screenPictures, program};
        frmAbout d(platform, s);
        d.Timer2->setEnabled(false);
        d.Timer3->setEnabled(false);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        const QString pencil = iconCall(d.Picture1, {30, 30});
        const QString hand = iconCall(d.Picture3, {12, 0});
        const QString custom = QStringLiteral("shape 99"), arrow = QStringLiteral("shape 1");
        QVERIFY(d.Picture1->pixmap().cacheKey() != d.Picture3->pixmap().cacheKey());

        const auto moveTo = [&](QWidget* w, bool expectCall) {
            pointer.calls.clear();
            QTest::mouseMove(w, w->rect().center());
            if (expectCall)
                (void)QTest::qWaitFor([&] { return !pointer.calls.isEmpty(); }, 3000);
            else
                QTest::qWait(30);
            pointer.calls.removeDuplicates(); // a move may come as more than one event
            return pointer.calls;
        };
        QCOMPARE(moveTo(d.Label3, true), QStringList({pencil, custom}));
        QCOMPARE(moveTo(d.Label4, true), QStringList({hand, custom}));
        QCOMPARE(moveTo(d.Command2, false), QStringList());
        QCOMPARE(moveTo(d.Image3[3], true), QStringList({hand, custom}));
        QCOMPARE(moveTo(d.Image2, false), QStringList());
        QCOMPARE(moveTo(d.Text1, false), QStringList());
        QCOMPARE(moveTo(d.Label3, true), QStringList({pencil, custom}));
        QCOMPARE(moveTo(d.Dir1->viewport(), true), QStringList({arrow}));
        QCOMPARE(moveTo(d.Label4, true), QStringList({hand, custom}));
        pointer.calls.clear();
        QTest::mouseMove(&d, {450, 8});
        QTRY_COMPARE(pointer.calls.value(0), arrow);
    }

    // --- Help and contact links ----------------------------------------------------

    void linksLaunch_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("folder"); // the program folder
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("style");
        QTest::addColumn<QString>("pointer"); // shapes set by the handler
        const QString f = QStringLiteral("C:\\Programmi\\Quadrello");
        QTest::newRow("Aiuto") << "Command2" << f
                               << "start \"C:\\Programmi\\Quadrello\\QUADREL.htm\"" << 2 << "0";
        QTest::newRow("Trevisolo")
            << "Command3" << f << "NOTEPAD \"C:\\Programmi\\Quadrello\\TRV.txt\"" << 1 << "";
        QTest::newRow("banner") << "Image3(3)" << f
                                << "NOTEPAD \"C:\\Programmi\\Quadrello\\TRV.txt\"" << 1 << "";
        QTest::newRow("contact address")
            << "Label3" << f << "start mailto:autore@quadrello.example" << 2 << "1 1";
        QTest::newRow("home page")
            << "Label4" << f << "start http://www.quadrello.example/" << 2 << "1 1";
    }
    void linksLaunch() {
        QFETCH(QString, control);
        QFETCH(QString, folder);
        QVERIFY(open());
        fp->platform.programFolder = folder;
        fp->pointer.shapes.clear();
        QTest::mouseClick(dlg->findChild<QWidget*>(control), Qt::LeftButton);
        QCOMPARE(int(fp->launcher.calls.size()), 1);
        QTEST(fp->launcher.calls[0].commandLine, "command");
        QTEST(fp->launcher.calls[0].windowStyle, "style");
        QStringList shapes;
        for (const rt::PointerShape p : fp->pointer.shapes)
            shapes << QString::number(int(p));
        QTEST(shapes.join(QLatin1Char(' ')), "pointer");
        QVERIFY(fp->messages.shown.empty());
        QVERIFY(dlg->isVisible());
    }

    void linkFailures_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("message"); // empty: none
        QTest::newRow("Aiuto, 53")
            << "Command2" << 53 << QStringLiteral("Errore 53") + BrowserMissing;
        QTest::newRow("Trevisolo") << "Command3" << 53 << NotepadMissing;
        QTest::newRow("banner") << "Image3(3)" << 70 << NotepadMissing;
        QTest::newRow("contact address") << "Label3" << 53 << QString();
        QTest::newRow("home page") << "Label4" << 53 << QString();
    }
    void linkFailures() {
        QFETCH(QString, control);
        QFETCH(int, error);
        QFETCH(QString, message);
        QVERIFY(open());
        fp->launcher.result = rt::Error{error, QStringLiteral("test")};
        QTest::mouseClick(dlg->findChild<QWidget*>(control), Qt::LeftButton);
        QCOMPARE(int(fp->launcher.calls.size()), 1);
        if (message.isEmpty()) {
            QVERIFY(fp->messages.shown.empty());
            QCOMPARE(fp->pointer.last(), rt::PointerShape::Arrow);
        } else {
            QCOMPARE(fp->messages.texts(), QStringList{message});
            QCOMPARE(fp->messages.shown[0].style, rt::mb::Question);
            QCOMPARE(fp->messages.shown[0].title, QStringLiteral("Quadrello"));
        }
        QVERIFY(dlg->isVisible());
        QCOMPARE(fp->programEnd.calls, 0);
    }

    // "&Aiuto" hides the seconds caption for good, whether the help page opened or not.
    void helpHidesTheSecondsCaption() {
        QVERIFY(open());
        QVERIFY(dlg->Frame1->rect().contains(dlg->Label1->geometry()));
        fp->launcher.result = rt::Error{53, QStringLiteral("test")};
        press(dlg->Dir1, Qt::Key_A); // no access key without Alt
        QVERIFY(fp->launcher.calls.empty());
        QTest::keyClick(dlg.get(), Qt::Key_A, Qt::AltModifier);
        QTRY_COMPARE(int(fp->launcher.calls.size()), 1);
        QCOMPARE(dlg->Label1->y(), dlg->frameGeometry().height());
        QVERIFY(!dlg->Frame1->rect().intersects(dlg->Label1->geometry()));
        QCOMPARE(dlg->Label1->x(), 24);
        fp->launcher.result = qint64(1);
        dlg->Command2_Click();
        QVERIFY(!dlg->Frame1->rect().intersects(dlg->Label1->geometry()));
        QCOMPARE(dlg->Label2->geometry(), QRect(224, 24, 41, 17)); // nothing else moves
    }

    // The mail command holds its own address; the home-page command reads its label. A
    // click is a press and a release on the same control.
    void linkAddressesAndClicks() {
        QVERIFY(open());
        dlg->Label3->setText(QStringLiteral("altro@quadrello.example"));
        dlg->Label4->setText(QStringLiteral("http://altro.quadrello.example/"));
        dlg->Label3_Click();
        dlg->Label4_Click();
        QCOMPARE(fp->launcher.calls.at(0).commandLine,
                 QStringLiteral("start mailto:autore@quadrello.example"));
        QCOMPARE(fp->launcher.calls.at(1).commandLine,
                 QStringLiteral("start http://altro.quadrello.example/"));

        fp->launcher.calls.clear();
        QTest::mousePress(dlg->Label4, Qt::LeftButton);
        QTest::mouseRelease(dlg->Label4, Qt::LeftButton, {}, {-5, -5}); // let go outside
        QTest::mouseClick(dlg->Label3, Qt::RightButton);
        QTest::mouseClick(dlg->Image2, Qt::LeftButton);
        QVERIFY(fp->launcher.calls.empty());
        // A double click: press, release, the double-click press, release; one click.
        QTest::mouseClick(dlg->Image3[3], Qt::LeftButton);
        const QPoint c = dlg->Image3[3]->rect().center();
        QMouseEvent second(QEvent::MouseButtonDblClick, c, dlg->Image3[3]->mapToGlobal(c),
                           Qt::LeftButton, Qt::LeftButton, {});
        QApplication::sendEvent(dlg->Image3[3], &second);
        QTest::mouseRelease(dlg->Image3[3], Qt::LeftButton);
        QCOMPARE(int(fp->launcher.calls.size()), 1);
    }

    // --- System information ------------------------------------------------------------

    void sysInfoButton() {
        QVERIFY(open());
        QTest::mouseClick(dlg->cmdSysInfo, Qt::LeftButton);
        QVERIFY(fp->launcher.calls.empty());
        QCOMPARE(fp->messages.texts(), QStringList{NoSysInfo});
        QCOMPARE(fp->messages.shown[0].style, rt::mb::OkOnly);
        for (const RegistryOpen& o : fp->registry.opens)
            QCOMPARE(o.access, 0x20019u);

        tmp->file(QStringLiteral("registry.reg"),
                  "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO]"
                  "\r\n\"PATH\"=\"C:\\\\usr\\\\bin\\\\sysinfo tool\"\r\n");
        fp->registry.useHive(tmp->path(QStringLiteral("registry.reg")));
        fp->messages.shown.clear();
        QTest::keyClick(dlg.get(), Qt::Key_S, Qt::AltModifier);
        QTRY_COMPARE(int(fp->launcher.calls.size()), 1);
        QCOMPARE(fp->launcher.calls[0].commandLine, QStringLiteral("C:\\usr\\bin\\sysinfo tool"));
        QCOMPARE(fp->launcher.calls[0].windowStyle, 1);
        QVERIFY(fp->messages.shown.empty());
    }
};

QTEST_MAIN(TestFrmAbout)
#include "tst_frmabout.moc"
