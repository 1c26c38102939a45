// The viewer: SEG-Y files (a job's outputs, or any the user adds) shown as
// their section beside the ship's track, to see whether a result looks right
// without carrying it to another program.
#pragma once

#include <QImage>
#include <QStringList>
#include <QWidget>

#include <functional>

class QChartView;
class QLabel;
class QListWidget;
class QPushButton;
class QLineSeries;
class QValueAxis;

namespace tessara
{

/// The section's picture, scaled to fit the widget.
class CSectionPictureView : public QWidget
{
    Q_OBJECT
public:
    explicit CSectionPictureView(QWidget* parent = nullptr);
    void SetPicture(const QImage& picture);
    [[nodiscard]] const QImage& Picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_picture;
};

/// A modeless top-level window: the file list on the left, the selected
/// file's section and track on the right. Escape closes it.
class CSectionViewer : public QWidget
{
    Q_OBJECT
public:
    explicit CSectionViewer(QWidget* parent = nullptr);

    /// Shows `paths` instead of the files listed, the first one selected.
    void SetFiles(const QStringList& paths);
    /// Adds the SEG-Y files of `paths` not listed yet and selects the first
    /// one added.
    void AddFiles(const QStringList& paths);
    [[nodiscard]] QStringList Files() const;
    /// Points of the selected file's track.
    [[nodiscard]] int TrackPoints() const;

    /// Asks for files to add; replaced by tests.
    std::function<QStringList(QWidget*)> chooseFiles;

    QListWidget* listBox_files;
    QPushButton* button_add;
    QPushButton* button_close;
    CSectionPictureView* view_section;
    QChartView* chart_track;
    QLabel* label_status;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void ShowSelected();
    void ShowSection(const QString& path);
    void ShowTrack(const QString& path);

    QLineSeries* m_track;
    QValueAxis* m_axisX;
    QValueAxis* m_axisY;
};

} // namespace tessara
