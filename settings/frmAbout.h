#pragma once
// The settings dialog. It loads the settings file when it opens, lets the user choose the
// picture folder (drive and folder lists), the seconds per picture and the three
// switches, and either confirms with OK (settings finished in memory, file written,
// dialog closed) or ends the program with "Fine", its close box or an Esc that OK
// cannot take.
//
// The controls keep the names the handlers use. Positions are in pixels of the client
// area; the controls inside Frame1 are placed relative to the frame.

#include "DialogControls.h"
#include "DirListBox.h"
#include "DriveListBox.h"
#include "Modulo1.h"
#include "Platform.h"
#include "Timer.h"

#include "Worker.h"

#include <QColor>
#include <QDialog>
#include <QFutureWatcher>
#include <QPoint>

#include <array>

class QCheckBox;
class QLabel;
class QPushButton;

namespace settings {

class frmAbout final : public QDialog {
public:
    frmAbout(rt::Platform& platform, Modulo1& s, QWidget* parent = nullptr);

    // --- Event handlers ----------------------------------------------------------
    // Centres the dialog, sets its captions, loads the settings and points the lists
    // and the seconds box at them.
    void Form_Load();
    // The drive list changed: open that drive's current folder in the folder list.
    void Drive1_Change();
    // Whether the load's check of the stored folder has arrived and the folder list shows
    // what it asked for last (tests wait for it).
    [[nodiscard]] bool folderListReady() const { return storedChecked_ && !Dir1->listing(); }
    void Text1_GotFocus();
    // Refuses a seconds value without a number (or 0) when the focus leaves the box.
    void Text1_LostFocus();
    // Finishes the settings, writes the file and unloads the dialog.
    void cmdOK_Click();
    // "Fine": ends the program; nothing is saved.
    void Command1_Click();
    // A key that no control took, as its character code; Esc (27) ends the program.
    void Form_KeyPress(int keyAscii);
    void Dir1_MouseMove();
    void Form_MouseMove();
    void Frame1_MouseMove();
    // The pointer over the links and the banner: a pencil over the contact address, a
    // pointing hand over the home page and the banner.
    void Label3_MouseMove();
    void Label4_MouseMove();
    void Image3_MouseMove(int index);
    // The banner shows the next of its three pictures.
    void Timer2_Timer();
    // The contact address takes one step of its swing to and fro.
    void Timer3_Timer();
    // "&Aiuto": the help page (the seconds caption goes out of sight).
    void Command2_Click();
    // "&Trevisolo" and the banner: the text presenting Trevisolo.
    void Command3_Click();
    void Image3_Click(int index);
    // The contact address: a mail to the author.
    void Label3_Click();
    // The home page.
    void Label4_Click();
    void cmdSysInfo_Click();
    // Starts the system information tool, or says it is not available.
    void StartSysInfo();
    // The close box ends the program, like "Fine".
    void reject() override;

    // --- Controls ----------------------------------------------------------------
    QLabel* Image1;
    QLabel* lblTitle;
    QLabel* lblDescription;
    rt::DirListBox* Dir1;
    rt::DriveListBox* Drive1;
    // 0 to 2 hold the three banner pictures out of sight; 3 is the banner shown.
    std::array<ClickLabel*, 4> Image3{};
    EtchedFrame* Frame1;
    QLabel* Label1;
    FocusLineEdit* Text1;
    QLabel* Label2;
    QPushButton* cmdOK;
    QPushButton* Command2;
    QPushButton* cmdSysInfo;
    QPushButton* Command1;
    QPushButton* Command3;
    QCheckBox* Check1;  // background music
    QCheckBox* Check3;  // animated transitions
    QCheckBox* Check2;  // sound comments
    ClickLabel* Label4; // home page
    ClickLabel* Label3; // e-mail contact
    QLabel* Image2;
    QLabel* lblDisclaimer;
    QLabel* Picture1; // pencil pointer picture, out of sight
    QLabel* Picture3; // pointing hand pointer picture, out of sight
    rt::Timer* Timer2;
    rt::Timer* Timer3;

    // The etched lines painted on the client area.
    struct Line {
        QPoint from;
        QPoint to;
        QColor color;
        int width; // pixels: the rows (or columns) it covers from its position on
    };
    std::array<Line, 8> Line1;

    // Which banner picture was shown last: 1, 2 or 3 for Image3(0), (1), (2); 0 at first.
    std::int16_t BannerStep = 0;
    // Pixels the contact address moves left per tick (negative: right); 0 until the first tick.
    std::int16_t SlideStep = 0;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void createControls();
    void createHeaderAndFolderLists();
    void createFrame1();
    void createLinksAndPictures();
    // Centres the dialog on the screen by its outer size (its client size while the
    // frame is not known).
    void centreOnScreen();
    // The seconds box is losing the focus for `reason`; when its value is refused, the
    // focus is back and the box keeps its selection.
    void text1LosingFocus(Qt::FocusReason reason);
    void setKeyboardOrder();
    // The seconds box takes the focus again with its whole text selected.
    void focusText1();
    // The value a check box stands for: 0 clear, 1 ticked, 2 greyed.
    [[nodiscard]] static std::int16_t checkValue(const QCheckBox* box);
    static void setCheckValue(QCheckBox* box, std::int16_t value);

    // The stored folder's drive, folder and listing, checked on a copy of the DOS view on
    // a worker at load: the copy (its current drive and folder), and how each step went.
    struct StoredFolder {
        rt::DosFileSystem checked;
        rt::Error drive, dir;
        rt::FolderListing listing;
    };
    // The check arrived: it is taken over, or each failed step done again with the
    // program's own folder.
    void storedFolderChecked();

    rt::Platform& platform_;
    Modulo1& s_;
    rt::Worker loadWorker_;
    QFutureWatcher<StoredFolder> stored_;
    bool storedChecked_ = false;
    bool inText1LostFocus_ = false;
    // The handlers' end of every control's connection; the last member, so the first to
    // go: nothing a control reports reaches the dialog once its own part is gone.
    QObject handlers_;
};

// Shows the settings dialog modally, created anew and loaded; returns when it is unloaded.
void ShowSettingsDialog(rt::Platform& platform, Modulo1& s, QWidget* parent = nullptr);

} // namespace settings
