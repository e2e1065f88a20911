// The settings dialog: its controls, their connections to the handlers, and the handlers.

#include "frmAbout.h"

#include "FrameCentring.h"
#include "Links.h"
#include "Numbers.h"
#include "Pictures.h"
#include "Seconds.h"
#include "SettingsFile.h"
#include "SysInfo.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QWindow>

namespace settings {

namespace {

// The show's timing log (QT_LOGGING_RULES="quadrello.show.debug=true"), the same category
// as the viewer's.
Q_LOGGING_CATEGORY(lcDialog, "quadrello.show", QtInfoMsg)

const QString DriveReadError = QStringLiteral("Errore di lettura dal drive specificato");

constexpr int ClientWidth = 504;
constexpr int ClientHeight = 392;

const QColor Grey(128, 128, 128);
const QColor White(255, 255, 255);
const QColor Blue(0, 0, 255);

// The layout is in pixels at 96 dpi, so fonts are sized in pixels too. The dialog font
// is a 10-pixel sans: the classic 8-point dialog font it stands for is narrower than
// the scalable sans faces at 11 pixels, and the captions were fitted to it
// ("Tempo di posa di una immagine:" fills its 153 pixels). The seconds box keeps its
// large bold 18-pixel digits.
constexpr int DialogFontPixels = 10;
constexpr int SecondsFontPixels = 18;

QFont pixelFont(int pixels, bool bold = false, bool underline = false) {
    QFont f;
    f.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    f.setPixelSize(pixels);
    f.setBold(bold);
    f.setUnderline(underline);
    return f;
}

void setTextColour(QWidget* w, const QColor& colour) {
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, colour);
    w->setPalette(p);
}

// A label as the classic forms draw it: text from the top-left corner of its box.
template <typename Label = QLabel>
Label* label(QWidget* parent, const char* name, const QString& text, QRect box) {
    auto* l = new Label(parent);
    l->setText(text);
    l->setObjectName(QLatin1String(name));
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    l->setGeometry(box);
    return l;
}

template <typename Label = QLabel>
Label* picture(QWidget* parent, const char* name, const QPixmap& pixmap, QRect box, bool stretch) {
    Label* l = label<Label>(parent, name, QString(), box);
    l->setPixmap(pixmap);
    l->setScaledContents(stretch);
    return l;
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption, QRect box) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(box);
    return b;
}

QCheckBox* checkBox(QWidget* parent, const char* name, const QString& caption, const QString& tip,
                    QRect box) {
    auto* c = new QCheckBox(caption, parent);
    c->setObjectName(QLatin1String(name));
    c->setToolTip(tip);
    c->setGeometry(box);
    c->setChecked(true);
    // A greyed box (a value only the settings file can give) becomes a plain two-state
    // box again once the user changes it.
    QObject::connect(c, &QCheckBox::stateChanged, c, [c](int state) {
        if (state != Qt::PartiallyChecked && c->isTristate()) c->setTristate(false);
    });
    return c;
}

// The seconds box takes at most two typed characters.
constexpr qsizetype SecondsTyped = 2;

} // namespace

frmAbout::frmAbout(rt::Platform& platform, Modulo1& s, QWidget* parent)
    : QDialog(parent), platform_(platform), s_(s) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(ClientWidth, ClientHeight);
    setFont(pixelFont(DialogFontPixels));
    setWindowIcon(QIcon(assets::programIcon()));
    setMouseTracking(true);

    createControls();
    setKeyboardOrder();
    Dir1->setFocus();

    // Every control reports to the handlers through connections that end with the
    // dialog's own part (handlers_), before Qt deletes the controls: the seconds box
    // loses the focus on its way out, and must not reach a dialog half gone.
    const QObject* h = &handlers_;
    connect(Drive1, &rt::DriveListBox::changed, h, [this] { Drive1_Change(); });
    connect(Dir1, &rt::DirListBox::mouseMoved, h, [this] { Dir1_MouseMove(); });
    connect(&stored_, &QFutureWatcherBase::finished, h, [this] { storedFolderChecked(); });
    connect(Frame1, &EtchedFrame::mouseMoved, h, [this] { Frame1_MouseMove(); });
    connect(Text1, &FocusLineEdit::focusIn, h, [this] { Text1_GotFocus(); });
    connect(Text1, &FocusLineEdit::focusLeaving, h,
            [this](Qt::FocusReason reason) { text1LosingFocus(reason); });
    connect(cmdOK, &QPushButton::clicked, h, [this] { cmdOK_Click(); });
    connect(Command1, &QPushButton::clicked, h, [this] { Command1_Click(); });
    connect(Command2, &QPushButton::clicked, h, [this] { Command2_Click(); });
    connect(Command3, &QPushButton::clicked, h, [this] { Command3_Click(); });
    connect(cmdSysInfo, &QPushButton::clicked, h, [this] { cmdSysInfo_Click(); });
    connect(Label3, &ClickLabel::mouseMoved, h, [this] { Label3_MouseMove(); });
    connect(Label3, &ClickLabel::clicked, h, [this] { Label3_Click(); });
    connect(Label4, &ClickLabel::mouseMoved, h, [this] { Label4_MouseMove(); });
    connect(Label4, &ClickLabel::clicked, h, [this] { Label4_Click(); });
    for (std::size_t i = 0; i < Image3.size(); ++i) {
        connect(Image3[i], &ClickLabel::mouseMoved, h, [this, i] { Image3_MouseMove(int(i)); });
        connect(Image3[i], &ClickLabel::clicked, h, [this, i] { Image3_Click(int(i)); });
    }
    // Centred again by its outer size once the window manager has told the frame.
    new FrameCentring(this, [this] { centreOnScreen(); });
    Timer2->onTick([this] { Timer2_Timer(); });
    Timer3->onTick([this] { Timer3_Timer(); });
    Timer2->setEnabled(true);
    Timer3->setEnabled(true);
}

void frmAbout::createControls() {
    createHeaderAndFolderLists();
    createFrame1();
    createLinksAndPictures();
}

// The icon, the title and the description across the top; the folder and drive lists and
// the banner down the left.
void frmAbout::createHeaderAndFolderLists() {
    Image1 = picture(this, "Image1", assets::programIcon(), {24, 8, 58, 58}, true);
    lblTitle = label(this, "lblTitle", QString(), {102, 16, 259, 24});
    setTextColour(lblTitle, Qt::black);
    lblDescription = label(this, "lblDescription",
                           QStringLiteral("Screen show di immagini, suoni di commento e musiche "
                                          "di sottofondo  (Selezionare la cartella da "
                                          "utilizzare)"),
                           {102, 32, 379, 30});
    lblDescription->setWordWrap(true);
    setTextColour(lblDescription, Qt::black);

    Dir1 = new rt::DirListBox(platform_.files, this);
    Dir1->setObjectName(QStringLiteral("Dir1"));
    Dir1->setGeometry(24, 80, 169, 96);
    Dir1->setToolTip(QStringLiteral("Seleziona la cartella scelta e le cartelle figlie."));

    Drive1 = new rt::DriveListBox(platform_.files, this);
    Drive1->setObjectName(QStringLiteral("Drive1"));
    Drive1->setGeometry(24, 184, 169, 21);

    // The banner pictures: three stores below the client area, and the one shown.
    for (int i = 0; i < 3; ++i)
        Image3[std::size_t(i)] =
            picture<ClickLabel>(this, "", assets::banner(i), {224 + 128 * i, 424, 120, 58}, true);
    Image3[3] = picture<ClickLabel>(this, "", assets::banner(0), {24, 216, 169, 89}, true);
    for (std::size_t i = 0; i < Image3.size(); ++i)
        Image3[i]->setObjectName(QStringLiteral("Image3(%1)").arg(i));
}

// The frame on the right: the seconds, the buttons and the three switches.
void frmAbout::createFrame1() {
    Frame1 = new EtchedFrame(QStringLiteral("Quadrello"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(208, 80, 273, 225);

    Label1 = label(Frame1, "Label1", QStringLiteral("Tempo di posa di una immagine:"),
                   {24, 24, 153, 17});
    Text1 = new FocusLineEdit(QStringLiteral("5"), Frame1);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(184, 16, 33, 25);
    Text1->setValidator(new TypedLengthLimit(Text1, SecondsTyped));
    Text1->setFont(pixelFont(SecondsFontPixels, true));
    Label2 = label(Frame1, "Label2", QStringLiteral("secondi"), {224, 24, 41, 17});
    cmdOK = button(Frame1, "cmdOK", QStringLiteral("&OK"), {24, 48, 105, 25});
    cmdOK->setDefault(true);
    Command2 = button(Frame1, "Command2", QStringLiteral("&Aiuto"), {144, 48, 105, 25});
    cmdSysInfo = button(Frame1, "cmdSysInfo", QStringLiteral("&System Info..."), {24, 88, 105, 25});
    Command1 = button(Frame1, "Command1", QStringLiteral("&Fine"), {144, 88, 105, 25});
    Command3 = button(Frame1, "Command3", QStringLiteral("&Trevisolo"), {24, 128, 225, 33});
    Command3->setToolTip(QStringLiteral("Il TRV è una suite di giochi/utilities"));
    Check1 = checkBox(Frame1, "Check1", QStringLiteral("Musica di sottofondo"),
                      QStringLiteral("Suona/Non suona il file midi che trova nella cartella."),
                      {24, 168, 145, 25});
    Check3 = checkBox(Frame1, "Check3", QStringLiteral("Cambio animato"),
                      QStringLiteral("Attiva/Disattiva le animazioni tra una foto e l'altra"),
                      {152, 176, 105, 17});
    Check2 = checkBox(Frame1, "Check2", QStringLiteral("Commenti audio"),
                      QStringLiteral("Abilita/Disabilita i commenti sonori."), {24, 192, 137, 25});
}

// The home page and contact links, the companion's icon, the pointer pictures, the etched
// lines and the two timers that animate the dialog.
void frmAbout::createLinksAndPictures() {
    const QFont link = pixelFont(DialogFontPixels, true, true);
    Label4 = label<ClickLabel>(this, "Label4", info::HomePageAddress, {24, 312, 241, 17});
    Label4->setToolTip(QStringLiteral("Visita la home page dell'autore ..."));
    Label3 = label<ClickLabel>(this, "Label3", info::ContactAddress, {352, 312, 129, 17});
    Label3->setToolTip(QStringLiteral("Scrivi all'autore ..."));
    for (QLabel* l : {Label4, Label3}) {
        l->setFont(link);
        setTextColour(l, Blue);
    }

    Image2 = picture(this, "Image2", assets::trevisoloIcon(), {24, 344, 32, 32}, false);
    Image2->setToolTip(QStringLiteral("Dai una sbirciatina ai giochi del Trevisolo"));
    lblDisclaimer = label(this, "lblDisclaimer", QStringLiteral(" "), {56, 352, 433, 23});
    lblDisclaimer->setFont(pixelFont(DialogFontPixels, true));

    // The pointer pictures, out of sight below the client area.
    Picture1 = picture(this, "Picture1", assets::pencilIcon(), {104, 400, 36, 36}, false);
    Picture3 = picture(this, "Picture3", assets::handIcon(), {152, 400, 36, 36}, false);

    // Pairs of a white 2-pixel line and a grey 1-pixel line look etched.
    Line1[0] = {{24, 72}, {480, 72}, White, 2};
    Line1[1] = {{24, 72}, {480, 72}, Grey, 1};
    Line1[2] = {{0, 0}, {328, 0}, Grey, 1};
    Line1[3] = {{0, 0}, {328, 0}, White, 2};
    Line1[4] = {{0, 0}, {328, 0}, Grey, 1};
    Line1[5] = {{0, 0}, {328, 0}, White, 2};
    Line1[6] = {{24, 332}, {480, 332}, Grey, 1};
    Line1[7] = {{24, 330}, {480, 330}, White, 2};

    // The banner and the contact address move while the dialog is open.
    Timer2 = new rt::Timer(this);
    Timer2->setInterval(600);
    Timer3 = new rt::Timer(this);
    Timer3->setInterval(50);
}

void frmAbout::setKeyboardOrder() {
    const std::array<QWidget*, 11> order{Dir1,     Drive1,   Check2, Check1,     Check3, Command3,
                                         Command2, Command1, cmdOK,  cmdSysInfo, Text1};
    for (std::size_t i = 0; i + 1 < order.size(); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
}

// --- Handlers ---------------------------------------------------------------------

void frmAbout::Form_Load() {
    centreOnScreen();

    setWindowTitle(QStringLiteral("Informazioni su ") + rt::AppTitle);
    lblTitle->setText(rt::AppTitle);

    const CheckValues checks = LoadSettings(s_, platform_.files, platform_.programFolder);
    if (checks.check1) setCheckValue(Check1, *checks.check1);
    if (checks.check2) setCheckValue(Check2, *checks.check2);
    if (checks.check3) setCheckValue(Check3, *checks.check3);

    setWholeText(Text1, QString::number(s_.TempoAttesa));
    storedChecked_ = false;
    // Until its check answers, the folder list shows the stored folder itself, not yet
    // listed (never the folder the program was started in): OK meanwhile keeps it.
    if (const rt::Result<QString> stored = platform_.files.absolute(s_.FolderPath); stored.ok()) {
        QString folder = stored.value();
        if (folder.size() > 3 && folder.endsWith(QLatin1Char('\\'))) folder.chop(1);
        Dir1->show({{}, folder, {}});
    }
    // The stored folder may be on a share that does not answer: its drive and folder are
    // made current, and it is listed, on a copy of the DOS view on a worker, and the
    // dialog is usable meanwhile. storedFolderChecked() goes on when they answer.
    stored_.setFuture(
        loadWorker_.run(0, [files = platform_.files, folder = s_.FolderPath]() mutable {
            StoredFolder r{files, {}, {}, {}};
            r.drive = r.checked.chDrive(folder);
            if (!r.drive.failed()) r.dir = r.checked.chDir(folder);
            if (!r.drive.failed() && !r.dir.failed()) r.listing = rt::listFolder(r.checked, folder);
            return r;
        }));
}

void frmAbout::storedFolderChecked() {
    if (!stored_.future().isResultReadyAt(0)) return;
    const StoredFolder r = stored_.future().result();
    storedChecked_ = true;
    // Each step that fails with the stored folder is done again with the program's own
    // folder, on this thread (the program's folder is the machine's own); a step that fails
    // with that one too is passed over.
    rt::DosFileSystem& files = platform_.files;
    bool fellBack = false;
    const auto fallBack = [&] {
        fellBack = true;
        s_.FolderPath = platform_.programFolder;
    };
    // The list shows the program's folder then, or the current one when even that cannot
    // be listed: never the stored folder, which is known not to be there.
    const auto listFallback = [this] {
        Dir1->setPath(s_.FolderPath, [this](rt::Error e) {
            if (e.failed()) Dir1->setPath(platform_.files.curDir());
        });
    };
    if (r.drive.failed()) {
        fallBack();
        (void)files.chDrive(s_.FolderPath);
    } else {
        files.takeCurrentDrive(r.checked);
    }
    if (fellBack) {
        (void)files.chDir(s_.FolderPath);
    } else if (r.dir.failed()) {
        fallBack();
        (void)files.chDir(s_.FolderPath);
    } else {
        files.takeCurrentDir(r.checked, r.checked.curDrive());
    }
    if (fellBack) {
        listFallback();
    } else if (r.listing.error.failed()) {
        fallBack();
        listFallback();
    } else {
        Dir1->show(r.listing);
    }
}

void frmAbout::Drive1_Change() {
    // The drive is listed on the folder list's workers: the message comes when it has
    // failed, and the dialog answers meanwhile.
    Dir1->setPath(Drive1->drive(), [this](rt::Error e) {
        if (!e.failed()) return;
        platform_.messages.show(DriveReadError, rt::mb::OkOnly, rt::AppTitle);
        Drive1->setDrive(platform_.programFolder); // runs this handler again for that drive
        Dir1->setPath(platform_.programFolder);
    });
}

void frmAbout::Text1_GotFocus() {
    Text1->selectAll();
}

void frmAbout::Text1_LostFocus() {
    if (LeadingNumber(Text1->text()) != 0) return;
    platform_.messages.show(Text1Refused, rt::mb::OkOnly, rt::AppTitle);
    focusText1();
}

void frmAbout::cmdOK_Click() {
    // In the show's timing log, off by default: the moment OK was pressed.
    qCDebug(lcDialog, "ok %lld", qint64(platform_.clock.monotonic().count()));
    s_.GoFlag = True;

    const QString seconds = Text1->text();
    const SecondsReading reading = ReadSeconds(seconds, QLocale::system());
    if (!reading.accepted()) {
        platform_.messages.show(reading.refusal, rt::mb::OkOnly, rt::AppTitle);
        if (reading.boxText) Text1->setText(*reading.boxText);
        focusText1();
        return;
    }

    const QString folder = Dir1->path();
    s_.FolderPath = rt::withBackslash(folder);

    if (reading.ms) s_.TempoAttesa = *reading.ms;

    s_.MusicaFM = checkValue(Check1);
    s_.SuonoWAV = checkValue(Check2);
    s_.Effetti = checkValue(Check3);
    // A settings file that cannot be written is passed over in silence: the show goes on
    // with the choices made, and the next start finds the file as it was.
    (void)SaveSettings(s_, platform_.files, platform_.programFolder, folder, seconds);
    // The show goes to the monitor the dialog is on.
    platform_.screen.settleOn(*this);
    done(QDialog::Accepted);
}

void frmAbout::Command1_Click() {
    platform_.programEnd.end();
    done(QDialog::Rejected); // reached only when the end returns (under test)
}

void frmAbout::Form_KeyPress(int keyAscii) {
    if (keyAscii != 27) return;
    platform_.programEnd.end();
    done(QDialog::Rejected);
}

void frmAbout::Dir1_MouseMove() {
    platform_.pointer.setShape(rt::PointerShape::Arrow);
}
void frmAbout::Form_MouseMove() {
    platform_.pointer.setShape(rt::PointerShape::Arrow);
}
void frmAbout::Frame1_MouseMove() {
    platform_.pointer.setShape(rt::PointerShape::Arrow);
}

void frmAbout::Label3_MouseMove() {
    platform_.pointer.setIcon(Picture1->pixmap(), assets::pencilHotSpot());
    platform_.pointer.setShape(rt::PointerShape::Custom);
}
void frmAbout::Label4_MouseMove() {
    platform_.pointer.setIcon(Picture3->pixmap(), assets::handHotSpot());
    platform_.pointer.setShape(rt::PointerShape::Custom);
}
void frmAbout::Image3_MouseMove(int /*index*/) {
    platform_.pointer.setIcon(Picture3->pixmap(), assets::handHotSpot());
    platform_.pointer.setShape(rt::PointerShape::Custom);
}

void frmAbout::Timer2_Timer() {
    ++BannerStep;
    if (BannerStep == 4) BannerStep = 1;
    Image3[3]->setPixmap(Image3[std::size_t(BannerStep - 1)]->pixmap());
}

void frmAbout::Timer3_Timer() {
    if (SlideStep == 0) SlideStep = 4;
    Label3->move(Label3->x() - SlideStep, Label3->y());
    if (Label3->x() < 280) SlideStep = std::int16_t(-SlideStep);
    if (Label3->x() > 355) SlideStep = std::int16_t(-SlideStep);
}

void frmAbout::Command2_Click() {
    // The seconds caption goes out of sight for good: its top moves to the dialog's outer
    // height.
    Label1->move(Label1->x(), isVisible() ? frameGeometry().height() : height());
    info::ShowHelp(platform_);
}
void frmAbout::Command3_Click() {
    info::ShowCompanionText(platform_);
}
void frmAbout::Image3_Click(int /*index*/) {
    info::ShowCompanionText(platform_);
}
void frmAbout::Label3_Click() {
    info::WriteToAuthor(platform_);
}
void frmAbout::Label4_Click() {
    info::VisitHomePage(platform_, Label4->text());
}
void frmAbout::cmdSysInfo_Click() {
    StartSysInfo();
}
void frmAbout::StartSysInfo() {
    info::StartSysInfo(platform_);
}

void frmAbout::reject() {
    Command1_Click();
}

// --- Events -----------------------------------------------------------------------

void frmAbout::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        // OK is also the cancel button; only when it cannot take the key does the form
        // see it.
        if (cmdOK->isVisible() && cmdOK->isEnabled()) {
            cmdOK->click();
            return;
        }
        Form_KeyPress(27);
        return;
    case Qt::Key_Enter:
    case Qt::Key_Return:
        QDialog::keyPressEvent(event); // the default button
        return;
    default:
        if (!event->text().isEmpty()) Form_KeyPress(event->text().at(0).unicode());
        event->ignore();
    }
}

void frmAbout::mouseMoveEvent(QMouseEvent* event) {
    // Moves over controls that do not track the mouse arrive here too; only the
    // background counts.
    if (!childAt(event->position().toPoint())) Form_MouseMove();
    QDialog::mouseMoveEvent(event);
}

void frmAbout::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter p(this);
    // The 2-pixel lines first, the 1-pixel ones over them.
    for (const int width : {2, 1}) {
        for (const Line& l : Line1) {
            if (l.width != width) continue;
            // A line of width w covers w rows (or columns) from its position on.
            const QRect r = QRect(l.from, l.to).normalized();
            if (l.from.y() == l.to.y())
                p.fillRect(r.left(), r.top(), r.width(), l.width, l.color);
            else if (l.from.x() == l.to.x())
                p.fillRect(r.left(), r.top(), l.width, r.height(), l.color);
            else {
                p.setPen(QPen(l.color, l.width));
                p.drawLine(l.from, l.to);
            }
        }
    }
}

// --- Helpers ----------------------------------------------------------------------

void frmAbout::text1LosingFocus(Qt::FocusReason reason) {
    // Only a move of the focus to another control of this dialog counts: not the window
    // losing activation, not a popup, not the box of this very check.
    QWidget* next = QApplication::focusWidget();
    if (inText1LostFocus_ || reason == Qt::ActiveWindowFocusReason ||
        reason == Qt::PopupFocusReason || !isVisible() || !next || !isAncestorOf(next))
        return;
    inText1LostFocus_ = true;
    Text1_LostFocus();
    inText1LostFocus_ = false;
    // The dialog's own focus child: while the message box has just closed, the dialog may
    // not be active yet, and the box gets the focus back on activation. Refused: the
    // focus is back, and the click that moved it goes nowhere.
    if (focusWidget() == Text1) Text1->refuseFocusLoss();
}

void frmAbout::centreOnScreen() {
    // On the primary monitor, wherever it stands on the desktop.
    const QRect primary = platform_.screen.primaryArea();
    // The window as the user sees it, title bar and frame included, once they are known.
    const QMargins frame =
        isVisible() && windowHandle() ? windowHandle()->frameMargins() : QMargins();
    move(primary.topLeft() + centredOn(primary.size(), size().grownBy(frame)));
}

void frmAbout::focusText1() {
    Text1->setFocus(Qt::OtherFocusReason);
    Text1_GotFocus(); // also when the box has kept the focus
}

std::int16_t frmAbout::checkValue(const QCheckBox* box) {
    switch (box->checkState()) {
    case Qt::Checked:
        return 1;
    case Qt::PartiallyChecked:
        return 2;
    case Qt::Unchecked:
        break;
    }
    return 0;
}

void frmAbout::setCheckValue(QCheckBox* box, std::int16_t value) {
    if (value == 2) {
        box->setTristate(true);
        box->setCheckState(Qt::PartiallyChecked);
    } else {
        box->setCheckState(value ? Qt::Checked : Qt::Unchecked);
    }
}

void ShowSettingsDialog(rt::Platform& platform, Modulo1& s, QWidget* parent) {
    frmAbout dialog(platform, s, parent);
    dialog.Form_Load();
    dialog.exec();
}

} // namespace settings
