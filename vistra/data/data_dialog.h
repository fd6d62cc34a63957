// The data dialog: the per-LED peak statistics of the selected camera in a
// table whose quantities, rows and refresh period the user chooses, and a
// plot of the selected rows under it.
#pragma once

#include <QDialog>

#include <array>

#include "data/data_columns.h"

class DetectorSession;
class MyTable;
class PeakPlot;
class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QSlider;
class QSplitter;

class DataDialog : public QDialog {
    Q_OBJECT
public:
    DataDialog(QWidget* parent, const DetectorSession* session);

    // Refreshes the table and the plot with the statistics of `camera`.
    void Fill(int camera);
    // A camera was selected: the caption names it, its index warnings are
    // printed again, and the table shows it.
    void showCamera(int camera);
    // The camera the caption names.
    int camera() const { return camera_; }

    MyTable* table() const { return table_; }
    PeakPlot* plot() const { return plot_; }
    QSlider* delaySlider() const { return slider_; }
    QLabel* delayLabel() const { return delayLabel_; }
    QPushButton* chooseButton() const { return choose_; }
    QAction* quantityItem(int k) const { return items_[static_cast<std::size_t>(k)]; }
    bool quantityShown(int k) const { return states_[static_cast<std::size_t>(k)] != 0; }

public slots:
    void sl_Hide();
    void sl_UnHide();
    void sl_ShowColumn();
    void sl_HideColumn();
    void sl_ShowAll();
    void sl_HideAll();
    void sl_Pos();
    void sl_Posv();
    void sl_Amp();
    void sl_Ampv();
    void sl_Wid();
    void sl_Widv();
    void sl_Pow();
    void sl_Powv();

signals:
    void sg_Close();

protected:
    // Closing the window only asks the main window to hide it.
    void closeEvent(QCloseEvent* event) override;
    // Escape too: the main window's "Show Data" button stays in step.
    void reject() override;

private:
    QWidget* makeColumnControls(QWidget* parent);
    QWidget* makeRowControls(QWidget* parent);
    QWidget* makeDelay(QWidget* parent);
    void toggleQuantity(int k);
    void setQuantity(int k, bool shown);
    // Table height after rows were hidden or shown again.
    void fitTableHeight();
    // Plots a new selection at once, not at the next refresh.
    void plotSelection();

    const DetectorSession* session_;
    MyTable* table_ = nullptr;
    PeakPlot* plot_ = nullptr;
    QSplitter* split_ = nullptr;
    QPushButton* choose_ = nullptr;
    QMenu* chooseMenu_ = nullptr;
    std::array<int, kQuantities> states_{};
    std::array<QAction*, kQuantities> items_{};
    QSlider* slider_ = nullptr;
    QLabel* delayLabel_ = nullptr;
    int camera_ = 0;
};
