#include "pages/walk_page_view.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/colour_box.h"
#include "gui/readout_label.h"

namespace clinora {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

ColourBox* Box(QWidget* parent, const char* name, const QString& text, const QFont& font) {
    auto* box = new ColourBox(text, parent);
    box->setObjectName(name);
    box->setAccessibleName(name);
    box->setAlignment(Qt::AlignCenter);
    box->setFont(font);
    box->setFrameShape(QFrame::Box);
    box->setBackground(Qt::white);
    return box;
}

// A button with a mnemonic in its text; its accessible name is the text
// without the mark.
QPushButton* Button(QWidget* parent, const char* text, const char* name) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setAccessibleName(QString(text).remove('&'));
    return button;
}

}  // namespace

WalkPageView::WalkPageView(QWidget* page, bool calibration) {
    const QFont readoutFont("Arial", 13), titleFont("Arial", 12);
    title = Box(page, "Title", calibration ? "Calibration" : "Calibration Test", titleFont);
    title->setToolTip("Pale yellow: axis A; light cyan: axis B");
    prompt = Box(page, "Prompt", "- - - -", readoutFont);
    prompt->setMinimumHeight(56);
    target = Box(page, "Target", "- - - -", page->font());
    message = Box(page, "Message", "Message", page->font());

    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(4);
    layout->addWidget(title);
    target->setToolTip("The value the boards should read at this position");
    prompt->setToolTip(
        "The fixture position to set; green: enough readings taken, Accept "
        "stores them");
    auto* targetColumn = new QVBoxLayout;
    auto* targetCaption = new QLabel("Target", page);
    targetCaption->setObjectName("TargetCaption");
    targetCaption->setBuddy(target);
    targetColumn->addWidget(targetCaption);
    targetColumn->addWidget(target, 1);
    auto* promptRow = new QHBoxLayout;
    promptRow->addLayout(targetColumn, 1);
    promptRow->addWidget(prompt, 3);
    layout->addLayout(promptRow);
    position = new ReadoutLabel(QString(), page);
    position->setObjectName("Position");
    position->setAccessibleName("Position");
    position->setAlignment(Qt::AlignCenter);
    layout->addWidget(position);

    // Board 1 is the bottom box of the left column, board 4 of the right one.
    auto* grid = new QGridLayout;
    for (int i = 0; i < kMaxBoards; ++i) {
        const QString name = QString("Board %1").arg(i + 1);
        groups[i] = new QGroupBox("XXXX", page);
        groups[i]->setObjectName(QString("BoardGroup%1").arg(i + 1));
        groups[i]->setAccessibleName(name);
        readouts[i] = Box(groups[i], "", "Static", readoutFont);
        readouts[i]->setObjectName(QString("BoardReadout%1").arg(i + 1));
        readouts[i]->setAccessibleName(name);
        readouts[i]->setMinimumHeight(44);
        readouts[i]->setToolTip(
            "White: inside the row's limits; pale yellow: outside them; light red: the board "
            "gave no reading");
        auto* inside = new QVBoxLayout(groups[i]);
        inside->setContentsMargins(4, 2, 4, 4);
        inside->addWidget(readouts[i]);
        grid->addWidget(groups[i], 2 - i % 3, i / 3);
    }
    layout->addLayout(grid);
    layout->addStretch(1);
    layout->addWidget(message);

    auto* barRow = new QHBoxLayout;
    noiseBar = new QProgressBar(page);
    noiseBar->setObjectName("NoiseBar");
    noiseBar->setAccessibleName("Noise bar");
    noiseBar->setRange(0, 10);
    noiseBar->setTextVisible(false);
    noiseBar->setToolTip("How much board 1's reading changes from one reading to the next");
    barRow->addWidget(noiseBar, 1);
    if (calibration) {
        busyLamp = Box(page, "Busy", " ", page->font());
        busyLamp->setFixedSize(24, 18);
        busyLamp->setState(Qt::white, "idle");
        busyLamp->setToolTip("Red while constants are written to the boards or verified");
        barRow->addWidget(busyLamp);
    }
    layout->addLayout(barRow);
    if (calibration) {
        transfer = new QProgressBar(page);
        transfer->setObjectName("TransferProgress");
        transfer->setAccessibleName("Write and verify progress");
        transfer->setVisible(false);
        layout->addWidget(transfer);
    }

    auto* axisRow = new QHBoxLayout;
    axisA = new QRadioButton("A", page);
    axisA->setObjectName("AxisA");
    axisA->setAccessibleName("Axis A");
    axisB = new QRadioButton("B", page);
    axisB->setObjectName("AxisB");
    axisB->setAccessibleName("Axis B");
    axisRow->addWidget(axisA);
    axisRow->addWidget(axisB);
    if (calibration) {
        negA = new QCheckBox("NegA", page);
        negA->setObjectName("NegA");
        negB = new QCheckBox("NegB", page);
        negB->setObjectName("NegB");
        axisRow->addWidget(negA);
        axisRow->addWidget(negB);
    }
    axisRow->addStretch(1);
    boards = new QComboBox(page);
    boards->setObjectName("Boards");
    boards->setAccessibleName("Boards");
    boards->setMinimumWidth(90);
    axisRow->addWidget(boards);
    history = Button(page, "His&tory", "History");
    history->setToolTip("The records of the boards: calibrations, tests, writes and verifies");
    axisRow->addWidget(history);
    layout->addLayout(axisRow);

    auto* walkRow = new QHBoxLayout;
    setup = Button(page, "&Setup", "Setup");
    back = Button(page, "<- &Back", "Back");
    back->setAccessibleName("Back");
    back->setToolTip("Go back to the previous position");
    accept = Button(page, "&Accept", "Accept");
    accept->setToolTip("Store every board's reading for this position");
    accept->setDefault(true);
    walkRow->addWidget(setup);
    walkRow->addWidget(back);
    walkRow->addWidget(accept, 1);
    layout->addLayout(walkRow);

    auto* fileRow = new QHBoxLayout;
    init = Button(page, "&Init", "Init");
    fileRow->addWidget(init);
    if (calibration) {
        read = Button(page, "&Read", "Read");
        fileRow->addWidget(read);
    }
    write = Button(page, "&Write", "Write");
    fileRow->addWidget(write);
    if (calibration) {
        send = Button(page, "Se&nd", "Send");
        verify = Button(page, "Verif&y", "Verify");
        upload = Button(page, "&Upload", "Upload");
        fileRow->addWidget(send);
        fileRow->addWidget(verify);
        fileRow->addWidget(upload);
        residuals = Button(page, "Residua&ls", "Residuals");
        fileRow->addWidget(residuals);
    } else {
        certificates = Button(page, "&Certificates", "Certificates");
        certificates->setToolTip(
            "Issue a calibration certificate (PDF and XML) for every board whose test was written");
        fileRow->addWidget(certificates);
    }
    layout->addLayout(fileRow);
}

void WalkPageView::render(const WalkView& v) {
    title->setText(Q(v.title));
    title->setState(ColourOf(v.titleColour), v.axisA ? "axis A" : "axis B");
    prompt->setText(Q(v.prompt).replace("\r\n", "\n"));
    prompt->setState(ColourOf(v.promptColour),
                     v.promptColour == Shade::Green ? "ready to accept" : "waiting");
    target->setText(Q(v.target));
    position->setText(Q(v.position));
    message->setText(Q(v.message));
    message->setBackground(ColourOf(v.messageColour));
    for (int i = 0; i < kMaxBoards; ++i) {
        groups[i]->setTitle(Q(v.boards[i].caption));
        groups[i]->setAccessibleDescription(Q(v.boards[i].caption));
        readouts[i]->setText(Q(v.boards[i].readout));
        readouts[i]->setState(ColourOf(v.boards[i].colour), Q(v.boards[i].meaning));
    }
    noiseBar->setVisible(v.noiseBarVisible);
    noiseBar->setValue(v.noiseBarPosition);
    if (busyLamp) {
        busyLamp->setState(v.busy ? ColourOf(Shade::Red) : ColourOf(Shade::White),
                           v.busy ? "busy" : "idle");
    }
    {
        const QSignalBlocker blockA(axisA), blockB(axisB);
        (v.axisA ? axisA : axisB)->setChecked(true);
    }
    if (negA) {
        const QSignalBlocker blockA(negA), blockB(negB);
        negA->setChecked(v.negateA);
        negB->setChecked(v.negateB);
    }
    renderCombo(v);

    const WalkView::Enabled& e = v.enabled;
    accept->setEnabled(e.accept);
    back->setEnabled(e.back);
    axisA->setEnabled(e.a);
    axisB->setEnabled(e.b);
    setup->setEnabled(e.setup);
    init->setEnabled(e.init);
    write->setEnabled(e.write);
    if (read) read->setEnabled(e.read);
    if (send) send->setEnabled(e.send);
    if (verify) verify->setEnabled(e.verify);
    if (upload) upload->setEnabled(e.upload);
    if (residuals) residuals->setEnabled(e.residuals);
    if (certificates) certificates->setEnabled(e.certificates);
    if (transfer) renderProgress(v.progress);
}

void WalkPageView::renderProgress(const WalkView::Progress& p) {
    transfer->setVisible(p.visible);
    if (!p.visible) return;
    const int steps = std::max(p.steps, 1);
    transfer->setRange(0, std::max(p.boards, 1) * steps);
    transfer->setValue(std::min(p.boardsDone * steps + p.step, transfer->maximum()));
    const int board = std::min(p.boardsDone + 1, std::max(p.boards, 1));
    transfer->setFormat(p.boardsDone >= p.boards
                            ? QString("%1 of %2 boards done").arg(p.boardsDone).arg(p.boards)
                            : QString("Board %1 of %2, step %3 of %4")
                                  .arg(board)
                                  .arg(p.boards)
                                  .arg(p.step)
                                  .arg(steps));
}

void WalkPageView::renderCombo(const WalkView& v) {
    const QSignalBlocker block(boards);
    bool same = boards->count() == static_cast<int>(v.comboEntries.size());
    for (int i = 0; same && i < boards->count(); ++i)
        same = boards->itemText(i) == Q(v.comboEntries[i]);
    if (!same) {
        boards->clear();
        for (const std::string& entry : v.comboEntries) boards->addItem(Q(entry));
    }
    boards->setCurrentIndex(v.comboSelection);
}

}  // namespace clinora
