#pragma once

#include <array>

#include "app/walk_view.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QWidget;

namespace clinora {

class ColourBox;

// The controls the Cal and Test pages share, laid out on the page: the six
// board boxes (board 1 bottom left up to 3, 4 bottom right up to 6), the
// prompt and target, the message line, the noise bar, the axis radios, the
// walk buttons and the board selector. With `calibration` also Read, Send,
// Verify, Upload, NegA, NegB and the busy lamp. render() shows a WalkView;
// History, which opens the records' window, is the page's own.
class WalkPageView {
public:
    WalkPageView(QWidget* page, bool calibration);

    void render(const WalkView& view);

    ColourBox* title = nullptr;
    ColourBox* prompt = nullptr;
    ColourBox* target = nullptr;
    QLabel* position = nullptr;  // "Position 3 of 7, first sweep"
    ColourBox* message = nullptr;
    ColourBox* busyLamp = nullptr;
    QProgressBar* noiseBar = nullptr;
    std::array<QGroupBox*, kMaxBoards> groups{};
    std::array<ColourBox*, kMaxBoards> readouts{};
    QRadioButton* axisA = nullptr;
    QRadioButton* axisB = nullptr;
    QCheckBox* negA = nullptr;
    QCheckBox* negB = nullptr;
    QComboBox* boards = nullptr;
    QPushButton* setup = nullptr;
    QPushButton* back = nullptr;
    QPushButton* accept = nullptr;
    QPushButton* init = nullptr;
    QPushButton* read = nullptr;
    QPushButton* write = nullptr;
    QPushButton* send = nullptr;
    QPushButton* verify = nullptr;
    QPushButton* upload = nullptr;
    QPushButton* residuals = nullptr;
    QPushButton* history = nullptr;  // opens the History window
    QPushButton* certificates = nullptr;  // Test: issues the tested boards' certificates
    QProgressBar* transfer = nullptr;  // write and verify progress

private:
    void renderCombo(const WalkView& view);
    void renderProgress(const WalkView::Progress& progress);
};

}  // namespace clinora
