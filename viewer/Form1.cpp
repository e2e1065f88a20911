#include "Form1.h"

#include "Layout.h"
#include "Pictures.h"

#include <QEvent>
#include <QPalette>

#include <cmath>

namespace viewer {

namespace {
int px(float twips) { return int(std::lround(twips / rt::TwipsPerPixel)); }
float twips(int pixels) { return float(pixels * rt::TwipsPerPixel); }
} // namespace

Form1::Form1(rt::Platform& platform, settings::Modulo1& settings,
             std::function<void()> showSettingsDialog, QWidget* parent)
    : QWidget(parent), Timer1(new rt::Timer(this)), Image1(new QLabel(this)),
      Label1(new QLabel(this)), platform_(platform), s_(settings),
      showSettingsDialog_(std::move(showSettingsDialog)) {
    // The form: black, no caption text, twips.
    setWindowTitle(QString());
    setWindowIcon(assets::programIcon());
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);

    // Timer1: disabled, 2000 ms until start-up sets the chosen period.
    Timer1->setInterval(2000);
    Timer1->onTick([this] { Timer1_Timer(); });

    // Image1: the program icon stretched over 1680 x 1680 twips.
    Image1->setScaledContents(true);
    Image1->setPixmap(assets::programIcon());
    setImage1({2640, 1680, 1680, 1680});

    // Label1: Arial 16.5 pt bold, selected-item colour on the tooltip background, opaque,
    // sized to its caption.
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(22); // 16.5 pt at 96 dpi
    font.setBold(true);
    Label1->setFont(font);
    QPalette labelPal = Label1->palette();
    labelPal.setColor(QPalette::WindowText, labelPal.color(QPalette::Highlight));
    labelPal.setColor(QPalette::Window, labelPal.color(QPalette::ToolTipBase));
    Label1->setPalette(labelPal);
    Label1->setAutoFillBackground(true);
    setLabel1Caption(QString());
    setLabel1Position(2280, 0);
}

void Form1::setImage1(const TwipRect& r) {
    image1_ = r;
    Image1->setGeometry(px(r.left), px(r.top), px(r.width), px(r.height));
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

void Form1::Form_Load() {
    // 1. The folder list is set up by the walk itself.
    // 2. The form as wide as the screen.
    const float screenW = float(platform_.screen.widthTwips());
    const float screenH = float(platform_.screen.heightTwips());
    width_ = screenW;
    resize(px(width_), height());
    height_ = twips(height());

    // 3 - 7. Picture centred below the caption band, caption above it.
    setLabel1Caption(rt::AppTitle);
    const StartLayout l = startLayout(screenW, screenH, label1_.width, label1_.height,
                                      image1_.width, image1_.height);
    setImage1({l.imageLeft, l.imageTop, image1_.width, image1_.height});
    setLabel1Position(l.labelLeft, l.labelTop);

    // 8 - 9. From here on a failing step is skipped. The settings dialog, modally.
    showSettingsDialog_();

    // 10. Not confirmed: the program ends.
    if (s_.GoFlag == settings::False) {
        platform_.programEnd.end();
        return;
    }

    // 11. The slide timer with the chosen period.
    Timer1->setEnabled(true);
    Timer1->setInterval(s_.TempoAttesa);

    // 12. Over the whole screen.
    width_ = screenW;
    height_ = screenH;
    setGeometry(0, 0, px(screenW), px(screenH));
    setWindowState(windowState() | Qt::WindowFullScreen);

    // 13. The image list.
    BuildImageList(platform_.files, s_.FolderPath, imageList);
}

void Form1::Form_Activate() { platform_.pointer.setShape(rt::PointerShape::Crosshair); }

void Form1::Timer1_Timer() {
    // The slide cycle is not part of this build yet: ticks show nothing new.
}

bool Form1::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate) Form_Activate();
    if (e->type() == QEvent::Resize) {
        width_ = twips(width());
        height_ = twips(height());
    }
    return QWidget::event(e);
}

} // namespace viewer
