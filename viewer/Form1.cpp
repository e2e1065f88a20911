// The viewer form: start-up, the slide cycle, the clearing and the end of the show.

#include "Form1.h"

#include "DisplaySync.h"
#include "FrameBudget.h"
#include "Layout.h"
#include "Pictures.h"
#include "ShowLog.h"
#include "Transition.h"

#include <QCoreApplication>
#include <QEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPalette>

#include <algorithm>
#include <chrono>
#include <cmath>

Q_LOGGING_CATEGORY(lcShow, "quadrello.show", QtInfoMsg)

namespace viewer {

namespace {

const QString EmptyFolder = QStringLiteral("Nessun file di immagini trovato in questa cartella.");
const QString EndOfPass = QStringLiteral("Quadrel Fine loop");

// How long a picture's file has to answer from its tick (a share that stopped answering)
// before the picture gets its message. The show does not wait for it: the next tick
// leaves a file that has not answered and goes on with the next entry.
constexpr int ReadBoundMs = 30'000;

int px(float twips) {
    return int(std::lround(twips / rt::TwipsPerPixel));
}
float twips(int pixels) {
    return float(pixels * rt::TwipsPerPixel);
}
QPoint pxPoint(int x, int y) {
    return {px(float(x)), px(float(y))};
}

QString invalidPicture(const QString& entry) {
    return QStringLiteral("Il file: ") + entry +
           QStringLiteral(" non e' un file di immagini valido.");
}

// The clock's monotonic time, for the timing log and the lengths it gives.
qint64 monotonicNs(const rt::Clock& clock) {
    return qint64(clock.monotonic().count());
}

} // namespace

Form1::Form1(rt::Platform& platform, settings::Modulo1& settings,
             std::function<void()> showSettingsDialog, QWidget* parent)
    : QWidget(parent), Timer1(new rt::Timer(this)),
      Image1(new rt::ImageBox(*platform.screenPictures, this)), Label1(new QLabel(this)),
      platform_(platform), s_(settings), listers_(std::make_shared<rt::Worker>(ParallelListings)),
      sound_(platform, settings,
             [this](SoundJob kind, std::function<void()> job) {
                 soundWorker_.post(int(kind), std::move(job));
             }),
      prefetch_(platform.files, platform.metafiles, platform.screenPictures),
      showSettingsDialog_(std::move(showSettingsDialog)),
      letEventsRun_([] { QCoreApplication::processEvents(); }),
      drawing_(new rt::DrawingLayer(this)) {
    // The form: black, no caption text, every key to the form itself.
    setWindowTitle(QString());
    setWindowIcon(assets::programIcon());
    setAutoFillBackground(true);
    setBackColor(Qt::black);
    setFocusPolicy(Qt::StrongFocus);
    // No input method: it would swallow a dead key or the Compose key as the start of a
    // character, and every key must end the show on its first press.
    setAttribute(Qt::WA_InputMethodEnabled, false);

    // Timer1: disabled, 2000 ms until start-up sets the chosen period.
    Timer1->setInterval(2000);
    Timer1->onTick([this] { Timer1_Timer(); });

    // Image1: the program icon stretched over 1680 x 1680 twips.
    Image1->setPicture(assets::programIcon().toImage());
    Image1->installEventFilter(this);
    setImage1({2640, 1680, 1680, 1680});

    // Label1: Arial 16.5 pt bold, selected-item colour on the tooltip background, opaque,
    // sized to its caption. It takes no clicks.
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(22); // 16.5 pt at 96 dpi
    font.setBold(true);
    Label1->setFont(font);
    QPalette labelPal = Label1->palette();
    labelPal.setColor(QPalette::WindowText, labelPal.color(QPalette::Highlight));
    labelPal.setColor(QPalette::Window, labelPal.color(QPalette::ToolTipBase));
    Label1->setPalette(labelPal);
    Label1->setAutoFillBackground(true);
    Label1->installEventFilter(this);
    setLabel1Caption(QString());
    setLabel1Position(2280, 0);

    // The walk's pictures as they come, the tick's picture when it arrives, and the bound
    // on waiting for it.
    connect(&walk_, &QFutureWatcherBase::resultsReadyAt, this, [this] { walkGoesOn(); });
    connect(&walk_, &QFutureWatcherBase::finished, this, [this] { walkGoesOn(); });
    connect(&picture_, &QFutureWatcherBase::finished, this, [this] { pictureArrived(); });
    readBound_.setSingleShot(true);
    readBoundMs_ = ReadBoundMs;
    connect(&readBound_, &QTimer::timeout, this, [this] { readBoundPassed(); });
}

Form1::~Form1() {
    // A walk still running stops at its next folder.
    walk_.cancel();
}

bool Form1::waitForSounds(int ms) const {
    return soundWorker_.waitIdle(std::chrono::milliseconds(ms));
}

void Form1::setReadBound(int ms) {
    readBoundMs_ = ms;
}

QStringList Form1::leftEntries() const {
    QStringList entries;
    for (const Left& l : left_)
        entries << l.entry;
    return entries;
}

void Form1::setLetEventsRun(std::function<void()> letEventsRun) {
    letEventsRun_ = std::move(letEventsRun);
}

// --- Geometry ---------------------------------------------------------------------

void Form1::setImage1(const TwipRect& r) {
    image1_ = r;
    Image1->setGeometry(px(r.left), px(r.top), std::max(1, px(r.width)), std::max(1, px(r.height)));
}

void Form1::setImage1Left(float left) {
    image1_.left = left;
    Image1->move(px(left), Image1->y());
}

QRegion Form1::moveImage1(float left) {
    const QRect before = Image1->geometry();
    setImage1Left(left);
    return slideInDamage(before, Image1->geometry(), rect());
}

void Form1::setLabel1Position(float left, float top) {
    label1_.left = left;
    label1_.top = top;
    Label1->move(px(left), px(top));
}

void Form1::setLabel1Caption(const QString& caption) {
    Label1->setText(caption);
    Label1->adjustSize();
    label1_.width = twips(Label1->width());
    label1_.height = twips(Label1->height());
}

QColor Form1::backColor() const {
    return palette().color(QPalette::Window);
}

void Form1::setBackColor(const QColor& colour) {
    QPalette pal = palette();
    pal.setColor(QPalette::Window, colour);
    setPalette(pal);
    drawing_->clear();
}

// --- Start-up -------------------------------------------------------------------------

void Form1::Form_Load() {
    // The form as wide as the screen; the folder list is set up by the walk itself.
    const float screenW = float(platform_.screen.widthTwips());
    const float screenH = float(platform_.screen.heightTwips());
    width_ = screenW;
    resize(px(width_), height());
    height_ = twips(height());

    // The start screen: the program's title above its icon, centred below the caption band.
    setLabel1Caption(rt::AppTitle);
    const StartLayout l =
        startLayout(screenW, screenH, label1_.width, label1_.height, image1_.width, image1_.height);
    setImage1({l.imageLeft, l.imageTop, image1_.width, image1_.height});
    setLabel1Position(l.labelLeft, l.labelTop);

    // The settings dialog, modally; the screen may rest while it is open.
    platform_.screenAwake.release();
    showSettingsDialog_();

    // Not confirmed: the program ends.
    if (s_.GoFlag == settings::False) {
        platform_.programEnd.end();
        return;
    }

    Timer1->setEnabled(true);
    Timer1->setInterval(s_.TempoAttesa);

    // Over the whole of the monitor the dialog was on. The show has it: no screen saver,
    // no blanking until it ends.
    coverScreen();
    platform_.screenAwake.hold();

    // The image list, walked on the workers while the show runs; its first picture is
    // decoded as soon as it is found.
    qCDebug(lcShow, "start %lld", monotonicNs(platform_.clock));
    slides_.restart();
    prefetch_.clear();
    walkTaken_ = 0;
    walk_.setFuture(StreamImageList(platform_.files, s_.FolderPath, walker_, listers_));
}

void Form1::coverScreen() {
    width_ = float(platform_.screen.widthTwips());
    height_ = float(platform_.screen.heightTwips());
    // Full screen is left first, so that the window manager takes the new place and
    // monitor; then it is asked again, on that monitor. A window full screen from its
    // first showing may be put on a monitor of the window manager's own choosing (the
    // pointer's): the form is first shown where it stands, then made full screen.
    setWindowState(windowState() & ~Qt::WindowFullScreen);
    platform_.screen.cover(*this);
    fullScreenWhenShown_ = !isVisible();
    if (!fullScreenWhenShown_) setWindowState(windowState() | Qt::WindowFullScreen);
}

void Form1::walkGoesOn() {
    const QFuture<QStringList> walk = walk_.future();
    const int ready = walk.resultCount();
    for (; walkTaken_ < ready; ++walkTaken_)
        slides_.append(walk.resultAt(walkTaken_));
    if (walk.isFinished() && !slides_.complete()) {
        slides_.finish();
        qCDebug(lcShow, "walk %lld %d pictures", monotonicNs(platform_.clock),
                slides_.pictureCount());
    }

    if (waitingForSlot_) {
        const Tick tick = slides_.settle();
        if (tick.kind == Tick::Kind::Unknown) return;
        waitingForSlot_ = false;
        goOnWith(tick);
    } else if (!tickUnderWay_) {
        prefetchNext();
    }
}

void Form1::prefetchNext() {
    const QString next = slides_.upcoming();
    if (next.isEmpty()) {
        prefetch_.clear();
        return;
    }
    prefetch_.start(s_.FolderPath + next, showArea());
}

void Form1::Form_Activate() {
    platform_.pointer.setShape(rt::PointerShape::Crosshair);
}

// --- The slide cycle ----------------------------------------------------------------

void Form1::Timer1_Timer() {
    if (tickUnderWay_) {
        // A tick whose picture's file has not answered by the next tick leaves it and
        // the show goes on. One whose decode waits for a thread (every thread held by a
        // file that does not answer), one waiting for the walk, or one showing a message
        // holds the next ticks back, as a message box does.
        if (!awaitingPicture_ || !taken_.tried()) return;
        leaveTick();
    }
    // A message for a file left before is this tick's work.
    if (tellLeft()) return;
    // The show's monitor changed or went away: the show is laid out again on the primary.
    if (platform_.screen.takeChange()) coverScreen();
    qCDebug(lcShow, "tick %lld index %d", monotonicNs(platform_.clock),
            int(slides_.position()) + 1);
    goOnWith(slides_.advance());
}

void Form1::goOnWith(const Tick& tick) {
    tickUnderWay_ = true;
    switch (tick.kind) {
    case Tick::Kind::Unknown:
        // The walk has not reached this slot yet: the tick goes on when it has.
        waitingForSlot_ = true;
        return;
    case Tick::Kind::Picture:
        // The file is proved unchanged, or decoded, on the worker; the tick goes on when
        // the picture arrives, or when the file has not answered within the bound.
        tickEntry_ = tick.entry;
        awaitingPicture_ = true;
        taken_ = prefetch_.take(s_.FolderPath + tick.entry, showArea());
        tickBound_ = QDeadlineTimer(readBoundMs_);
        picture_.setFuture(taken_.picture);
        armReadBound();
        return;
    case Tick::Kind::EmptyList:
        if (s_.Effetti != 0) ClsDiag();
        emptyListPath();
        break;
    case Tick::Kind::EndOfPass:
        if (s_.Effetti != 0) ClsDiag();
        Image1->hide();
        showEndOfPass();
        repaint();
        prefetchNext();
        break;
    }
    tickUnderWay_ = false;
    tellLeft();
}

void Form1::pictureArrived() {
    if (!awaitingPicture_) return; // an answer that came too late
    awaitingPicture_ = false;
    armReadBound();
    const QFuture<Decoded> arrived = picture_.future();
    Decoded picture; // not decoded, unless it arrived
    if (arrived.isResultReadyAt(0)) picture = arrived.result();
    if (s_.Effetti != 0) ClsDiag();
    Image1->hide();

    const bool shown = showPicture(tickEntry_, std::move(picture));
    // The picture reaches the screen before the next one is decoded beside it: on two
    // cores the decode would otherwise slow down this frame and the display server's work.
    if (shown) {
        // With transitions, the slide-in has painted every change already. Without, the
        // picture goes up first, and the server copies it while the form is painted.
        if (s_.Effetti == 0) {
            Image1->present();
            repaint();
        }
        rt::waitForDisplay(); // painted and sent is not yet on the screen
        Image1->letPreviousGo();
    }
    prefetchNext();
    if (!shown) {
        // The previous caption and colour stay; the next tick goes on.
        qCDebug(lcShow, "message %lld %s", monotonicNs(platform_.clock),
                qUtf8Printable(tickEntry_));
        platform_.messages.show(invalidPicture(tickEntry_), rt::mb::OkOnly, rt::AppTitle);
    }
    tickUnderWay_ = false;
    tellLeft();
}

void Form1::leaveTick() {
    awaitingPicture_ = false;
    tickUnderWay_ = false;
    qCDebug(lcShow, "left %lld %s", monotonicNs(platform_.clock), qUtf8Printable(tickEntry_));
    // A file left on an earlier pass, still not answering: its message came or will.
    const bool known = std::any_of(left_.begin(), left_.end(),
                                   [&](const Left& l) { return l.entry == tickEntry_; });
    if (!known) {
        auto* answer = new QFutureWatcher<Decoded>(this);
        connect(answer, &QFutureWatcherBase::finished, this,
                [this, answer] { leftAnswered(answer); });
        left_.push_back({tickEntry_, answer, tickBound_});
        answer->setFuture(taken_.picture);
    }
    armReadBound();
}

void Form1::leftAnswered(QFutureWatcher<Decoded>* answer) {
    const auto l =
        std::find_if(left_.begin(), left_.end(), [&](const Left& x) { return x.answer == answer; });
    if (l == left_.end()) return;
    const QFuture<Decoded> f = answer->future();
    const bool picture = f.isResultReadyAt(0) && f.resultAt(0).image.ok();
    if (l->told || picture) {
        // Told already, or a picture after all (shown when its turn comes again).
        answer->deleteLater();
        left_.erase(l);
        armReadBound();
        return;
    }
    l->failed = true;
    tellLeft();
}

bool Form1::tellLeft() {
    if (tickUnderWay_) return false;
    const auto due = std::find_if(left_.begin(), left_.end(), [](const Left& l) {
        return !l.told && (l.failed || l.bound.hasExpired());
    });
    if (due == left_.end()) return false;
    due->told = true;
    const QString entry = due->entry;
    if (due->failed) {
        due->answer->deleteLater();
        left_.erase(due);
    }
    armReadBound();
    // The message holds the ticks back while it is open.
    tickUnderWay_ = true;
    qCDebug(lcShow, "message %lld %s", monotonicNs(platform_.clock), qUtf8Printable(entry));
    platform_.messages.show(invalidPicture(entry), rt::mb::OkOnly, rt::AppTitle);
    tickUnderWay_ = false;
    return true;
}

void Form1::readBoundPassed() {
    // The tick's own file has not answered within the bound (a period longer than the
    // bound, or ticks held back): the tick leaves it, and its message comes now. A
    // decode that has not begun (no thread free) has not tried the file yet.
    if (awaitingPicture_ && tickBound_.hasExpired()) {
        if (taken_.tried()) {
            if (s_.Effetti != 0) ClsDiag();
            Image1->hide();
            leaveTick();
            prefetchNext();
        } else {
            tickBound_ = QDeadlineTimer(readBoundMs_);
        }
    }
    tellLeft();
    armReadBound();
}

void Form1::armReadBound() {
    qint64 next = -1;
    const auto consider = [&](const QDeadlineTimer& bound) {
        const qint64 ms = std::max<qint64>(0, bound.remainingTime());
        if (next < 0 || ms < next) next = ms;
    };
    if (awaitingPicture_) consider(tickBound_);
    for (const Left& l : left_)
        if (!l.told && !l.failed) consider(l.bound);
    if (next < 0) {
        readBound_.stop();
        return;
    }
    readBound_.start(int(std::min<qint64>(next, 1 << 30)));
}

void Form1::showEndOfPass() {
    setBackColor(Qt::black);
    setLabel1Caption(EndOfPass);
    setLabel1Position(centredCaptionLeft(width_, label1_.width), label1_.top);
}

bool Form1::showPicture(const QString& entry, Decoded picture) {
    // The picture, decoded at the size the fit gives it (usually ahead of time).
    if (!picture.image.ok()) return false;
    Image1->setPicture(std::move(picture.image).value(), std::move(picture.held));

    sound_.PlayComment(entry);
    sound_.UpdateMusic(entry);

    // The caption: the entry in lower case, centred at the top, on a new colour.
    Label1->show();
    setLabel1Caption(entry.toLower());
    setLabel1Position(centredCaptionLeft(width_, label1_.width), 0);
    const Rgb c = drawBackgroundColour(platform_.random, platform_.clock.secondsSinceMidnight());
    setBackColor(QColor(c.red, c.green, c.blue));

    // Fitted and centred below the caption band (on the screen, not the form).
    const Placement at = centreBelowCaption(picture.fit.width, picture.fit.height,
                                            float(platform_.screen.widthTwips()),
                                            float(platform_.screen.heightTwips()), label1_.height);
    // With transitions on, the picture comes from the slide-in's first place, where its
    // first step puts it before any event runs: placed there while still hidden, it is
    // never moved on the screen (33 MB at 3840 x 2160) from where the previous one stood.
    float left = image1_.left;
    if (s_.Effetti != 0) {
        const std::vector<float> steps = slideInSteps(picture.fit.width, at.left);
        if (!steps.empty()) left = steps.front();
    }
    setImage1({left, at.top, picture.fit.width, picture.fit.height});

    // Shown, sliding in from the left when transitions are on.
    Image1->show();
    if (s_.Effetti != 0) {
        slideIn(at.left);
        // The last step to its rest, painted as the slide-in's frames are.
        repaint(moveImage1(at.left));
    } else {
        setImage1Left(at.left);
    }
    qCDebug(lcShow, "shown %lld %s", monotonicNs(platform_.clock), qUtf8Printable(entry));
    return true;
}

void Form1::emptyListPath() {
    platform_.messages.show(EmptyFolder, rt::mb::OkOnly, rt::AppTitle);
    Form_Load();
}

void Form1::presentFrame(const QRegion& changed, FramePacer& pacer) {
    // One display frame after the previous one: a faster machine still shows every frame.
    pacer.waitForDue();
    repaint(changed);
    rt::waitForDisplay();
    pacer.presented();
}

void Form1::slideIn(float finalLeft) {
    // Every step's left edge is taken and events run after each; the picture is moved on
    // the screen once a frame, by as many steps as the frame presents. The first frame
    // shows the new background and caption; in the next ones Qt moves what is already on
    // the screen (within the backing store and, with shared memory, in the X server's
    // copy of it) and only what the move uncovers is painted: the picture's columns that
    // come in at the left edge of the screen, and the background it leaves behind.
    const qint64 start = monotonicNs(platform_.clock);
    const std::vector<float> steps = slideInSteps(image1_.width, finalLeft);
    const FrameBudget budget = slideInBudget(int(steps.size()), width_);
    FramePacer pacer(platform_.clock, drawing_->frameInterval());
    QRegion changed = rect();
    // The picture starts from its first place, off the form, before any event can run
    // (and repaint it where the previous picture stood).
    if (!steps.empty()) Image1->move(px(steps.front()), Image1->y());
    // Until the first frame, the events of the steps before it paint nothing: Qt would
    // paint the whole form for its new colour then, and the frame once more.
    setUpdatesEnabled(false);
    for (int k = 0; k < budget.steps; ++k) {
        image1_.left = steps[std::size_t(k)];
        if (budget.endsFrame(k)) {
            changed += moveImage1(image1_.left);
            setUpdatesEnabled(true);
            presentFrame(changed, pacer);
            changed = QRegion();
        }
        letEventsRun_();
    }
    setUpdatesEnabled(true);
    logFrames("slide", {}, start, pacer);
}

void Form1::logFrames(const char* what, const QByteArray& detail, qint64 start,
                      const FramePacer& pacer) const {
    using std::chrono::duration;
    const qint64 end = monotonicNs(platform_.clock);
    qCDebug(lcShow,
            "%s %lld%s took %.1f ms in %d frames, %d late, %d very late, longest %.1f ms, "
            "first to last %.1f ms",
            what, end, detail.constData(), (end - start) / 1e6, pacer.frames(), pacer.late(),
            pacer.veryLate(), duration<double, std::milli>(pacer.longestGap()).count(),
            duration<double, std::milli>(pacer.span()).count());
}

// --- The clearing ----------------------------------------------------------------------

void Form1::ClsDiag() {
    // The figures are drawn over the picture too, which must then be the form's own.
    Image1->dropServerCopy();
    const qint64 start = monotonicNs(platform_.clock);
    platform_.random.seed(float(platform_.clock.secondsSinceMidnight()));
    const int pattern = transitionPattern(platform_.random.next());
    // Every figure is drawn, in order; a frame is presented at the pause of the last step
    // it holds, so that its white edge is what the screen shows, and the last frame once
    // the last figure is black again.
    const std::chrono::nanoseconds interval = drawing_->frameInterval();
    const FrameBudget budget = wipeBudget(width_, 1e9 / double(interval.count()));
    FramePacer pacer(platform_.clock, interval);
    const auto present = [&] {
        pacer.waitForDue();
        drawing_->present();
        pacer.presented();
    };
    int step = 0;
    transitionFigures(width_, pattern, [&](const Figure& f) {
        const QColor colour = f.white ? Qt::white : Qt::black;
        switch (f.kind) {
        case Figure::Kind::Box:
            drawing_->box(pxPoint(f.x1, f.y1), pxPoint(f.x2, f.y2), colour);
            break;
        case Figure::Kind::Line:
            drawing_->line(pxPoint(f.x1, f.y1), pxPoint(f.x2, f.y2), colour);
            break;
        case Figure::Kind::Pause:
            if (step < budget.steps - 1 && budget.endsFrame(step)) present();
            ++step;
            break;
        }
    });
    present();
    logFrames("wipe", " pattern " + QByteArray::number(pattern), start, pacer);
}

// --- The end of the show -----------------------------------------------------------------

void Form1::Fine() {
    sound_.StopMusic();
    platform_.screenAwake.release();
    platform_.programEnd.end();
}

void Form1::Form_Click() {
    Fine();
}
void Form1::Image1_Click() {
    Fine();
}
void Form1::Form_KeyDown() {
    Fine();
}
void Form1::Form_KeyPress() {
    Fine();
}

bool Form1::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate) Form_Activate();
    if (e->type() == QEvent::Show) qCDebug(lcShow, "window %lld", monotonicNs(platform_.clock));
    // Painted: the form is on the screen, where it was put. It asks for the keyboard too,
    // which a Wayland compositor gives by activation (with the token the session started
    // the program with, or one of the window that has the focus).
    if (e->type() == QEvent::Paint && fullScreenWhenShown_) {
        fullScreenWhenShown_ = false;
        QMetaObject::invokeMethod(
            this,
            [this] {
                setWindowState(windowState() | Qt::WindowFullScreen);
                activateWindow();
            },
            Qt::QueuedConnection);
    }
    if (e->type() == QEvent::Resize) {
        width_ = twips(width());
        height_ = twips(height());
    }
    return QWidget::event(e);
}

bool Form1::eventFilter(QObject* watched, QEvent* e) {
    const bool mouse = e->type() == QEvent::MouseButtonPress ||
                       e->type() == QEvent::MouseButtonRelease ||
                       e->type() == QEvent::MouseButtonDblClick;
    if (watched == Label1 && mouse) return true; // the caption takes no clicks
    if (watched == Image1 && mouse) {
        if (e->type() == QEvent::MouseButtonRelease &&
            Image1->rect().contains(static_cast<QMouseEvent*>(e)->position().toPoint()))
            Image1_Click();
        return true;
    }
    return QWidget::eventFilter(watched, e);
}

void Form1::keyPressEvent(QKeyEvent* e) {
    e->accept();
    Form_KeyDown();
}

void Form1::inputMethodEvent(QInputMethodEvent* e) {
    if (!e->commitString().isEmpty()) Form_KeyPress();
    e->accept();
}

void Form1::mousePressEvent(QMouseEvent* e) {
    pressedOnForm_ = true;
    e->accept();
}

void Form1::mouseReleaseEvent(QMouseEvent* e) {
    const bool click = pressedOnForm_ && rect().contains(e->position().toPoint());
    pressedOnForm_ = false;
    if (click) Form_Click();
}

} // namespace viewer
