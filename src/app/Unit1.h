// The main window: the five pages from loading data to exporting contours, the project
// state (documents, map views, masks, samples, grid) and the event flow. The pipeline
// steps themselves live in depth/ and mapview/, shared with the batch tool.
#pragma once

#include "app/ImageView.h"
#include "app/QtDialogs.h"
#include "app/SelectionSlider.h"
#include "depth/ColorModel.h"
#include "depth/Grid.h"
#include "depth/Project.h"
#include "depth/ShepardInterp.h"
#include "mapview/GPXDraw.h"
#include "model/EditHistory.h"
#include "model/GPX.h"

#include "depth/ContourExport.h"
#include "depth/ShepardThread.h"

#include <QMainWindow>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;
class QStatusBar;
class QTabWidget;
class QTimer;
class QUrl;
class QVBoxLayout;

namespace app {

class TColorModelEditorForm;
class TEditProjectForm;
class TSurveysForm;

class TForm1 : public QMainWindow {
  public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;

    // Everything that talks to the user; tests put a scripted one in its place.
    void SetDialogs(support::Dialogs *dialogs) { Dialogs = dialogs ? dialogs : &qtDialogs_; }
    support::Dialogs *Dialogs;
    TEditProjectForm *EditProjectForm = nullptr; // created after the window, not owned

    // Project state: the pipeline shared with the batch tool, under the window's names.
    depth::TProject Project;
    bool FileLoaded = false;
    bool InterpLoaded = false;
    bool IsoLoaded = false;
    depth::TPointList &InCoord = Project.InCoord;
    depth::TValueList &InDepth = Project.InDepth;
    depth::TMatSingle &InterpResultArray = Project.InterpResultArray;
    std::unique_ptr<mapview::TMaskArray> &MaskArray = Project.MaskArray,
                                         &ShoreArray = Project.ShoreArray;
    std::int32_t &MaxDepth = Project.MaxDepth;
    float maxDontCareRadius = 0, minDontCareRadius = 0;
    model::TGPX &GPXdata = Project.GPXdata, &IsoData = Project.IsoData;
    mapview::TGPXDraw &GPXView = Project.GPXView;
    mapview::TGPXDraw IsoView;
    std::uint32_t clShallowWater = 0x00FF00, clDeepWater = 0xFF0000; // red in the low byte
    QImage ShadowMap;
    double AvrgPixelDistance = 0;
    // The chart of the last run (see TProject): a load, an edit or "Start over" discard it.
    const mapview::TViewport &ChartFrame = Project.ChartFrame;
    const mapview::TMaskArray &ChartMask = Project.ChartMask;
    // The project holds changes that "Save Project..." has not written.
    bool Modified = false;
    // Every edit of the project's tracks, for Ctrl+Z and Ctrl+Y, until a save or "Start over".
    model::TEditHistory History;
    void ApplyEdit(model::TEdit edit); // an edit just made joins the history
    void Undo() { StepHistory(false); }
    void Redo() { StepHistory(true); }
    void StepHistory(bool redo);
    // "Find Spikes": flags the suspected spikes of every track, as one edit.
    void FindSpikes();
    // In the sample-picking mode: the picked sounding is flagged instead of deleted.
    bool PickToFlag = false;
    // The map colours soundings by their depth corrected by their survey's offset.
    void ShowLevelOffsets();
    // The colour model editor holds the one colour model every drawing reads.
    TColorModelEditorForm *ColorModelEditorForm;
    const depth::TColor32Gradient &FGradient() const;

    // Pages and controls, named as the user interface names them
    QTabWidget *PageControl;
    QWidget *TabProject, *TabInterpolator, *TabHTBuilder, *TabDebug, *TabAbout;
    QPushButton *btnSurveys; // "Surveys...": the level offsets of the survey days
    QPushButton *btnAddFiles, *BitBtn1, *btnTrkSaveGPX, *btnTrkFit, *btnTrkZoom, *btnTrkZoomIn,
        *btnTrkZoomOut, *btnActionHTFile, *btnActionInterpolate, *btnStartOver;
    QCheckBox *cbAddDepth, *cbAddOffset;
    QLabel *lblMaxDepth, *lblMapSize, *lblImageSize, *lblResolution, *lblNumPoints;
    TImageView *GPXImage;

    QPushButton *btnInterpolate, *btnInterpolSaveBMP, *btnActionISOChart;
    // The chart where other tools can use it, and how it is shown.
    QPushButton *btnExportGrid, *btnExportKMZ;
    QCheckBox *cbLegend, *cbIsoLegend, *cbCoverage;
    QSpinBox *udCoverage; // metres from the nearest sounding beyond which a cell is "not measured"
    QComboBox *cbUnits;   // metres or feet for every depth shown and entered
    QLabel *lblIsoStepUnit, *lblIsoStartUnit;
    depth::TDepthUnit Unit() const;
    void UnitsChanged();
    std::string DepthText(double cm) const;       // "2341 cm" in metres, "76.8 ft" in feet
    std::string SampleDepthText(double cm) const; // "5.67m" in metres, "18.60ft" in feet
    void btnExportGridClick();
    void btnExportKMZClick();
    QLabel *lblInterpolateThrds, *lblInterpolateStyle, *lblInterpolationWidth, *lblDontCareRadius;
    TSelectionSlider *tbInterpolateThrds;
    QSlider *tbInterpolatorStyle;
    QSpinBox *udInterpolationWidth, *udDontCareRadius, *udSmoothingRuns;
    QLabel *lblMaxDepth1, *lblMapSize1, *lblImageSize1, *lblResolution1, *lblNumPoints1;
    TImageView *InterpolatedImage;
    QProgressBar *pbInterpolate;

    QPushButton *btnIsoMap, *btnCreateHT, *btnHtFit, *btnHtZoom, *btnIsoSaveBMP, *btnIsoSaveGPX;
    QLineEdit *edtIsoStep, *edtIsoStart, *edtTrackName;
    QCheckBox *cbManualOrder;
    QLabel *lblNumIsoTracks, *lblGeneratedPoints, *lblWritePoints;
    TImageView *IsoImage;

    QGroupBox *rgDebugView;
    QRadioButton *rbDebugLog, *rbDebugImage;
    QPushButton *btnDebugUpdateArrays, *btnShowMask, *btnShowShore;
    QPlainTextEdit *memDebug;
    TImageView *imgDebug;
    QPlainTextEdit *memAbout;
    QPushButton *btnHelp; // opens the user guide, as F1 does

    QStatusBar *sbMain;
    QLabel *sbPanels[6];

    // Operations other parts of the program use
    static std::uint32_t GetCPUCount();
    void Log(const std::string &line);
    void ResetProjectState();
    void UpdateStatistics();
    void SetStatus(int panel, const std::string &text);
    std::string StatusText(int panel) const;
    void RedrawProjectMap() { GPXView.Redraw(false); }
    // After an edit of the project (a delete or a cut): the chart made before is stale,
    // the statistics change, and the status bar says what was removed.
    void ProjectEdited(const std::string &what);
    void DiscardChart();
    // Asks before unsaved changes are thrown away; true when the user agrees (or none).
    bool MayDiscardChanges();

    // Event handlers
    void btnAddFilesClick();
    void AddFiles(const std::vector<std::string> &files); // "Add Files..." after the dialog
    void btnTrkSaveGPXClick();
    void btnStartOverClick();
    // "Surveys...": shows the surveys; Show replaces the modal dialog in tests.
    void btnSurveysClick();
    std::function<bool(TSurveysForm &)> ShowSurveys;
    void btnTrkFitClick();
    void btnTrkZoomClick();
    void btnTrkZoomInClick();
    void btnTrkZoomOutClick();
    void btnActionInterpolateClick();
    // The mouse wheel zooms a map about the pointer.
    void GPXImageWheel(QWheelEvent *e);
    void IsoImageWheel(QWheelEvent *e);
    void GPXImageMouseDown(QMouseEvent *e);
    void GPXImageMouseMove(QMouseEvent *e);
    void GPXImageMouseUp(QMouseEvent *e);
    void GPXImageResize();
    void SetMouseMode(mapview::TMouseMode mode, QPushButton *button, const std::string &status);
    void LeaveMouseMode(QPushButton *button); // back to mmMove

    // Interpolator page
    void UpdateInterpolatorSettings();
    void edtDontCareRadiusChange();
    void btnInterpolateClick();
    bool Interpolating() const { return runner_ != nullptr; }
    void DrawInterpolatedImage();
    void RefreshInterpolatedImage(); // the chart, else the band preview, at the image's size
    void InterpolatedImageMouseMove(QMouseEvent *e);
    // The "Save Image..." of both pages; with `legend`, the colour bar, a scale bar for
    // `frame`, the north arrow and the date beside the image.
    void SaveImage(const QImage &image, bool legend = false,
                   const mapview::TViewport *frame = nullptr);
    void btnActionISOChartClick();

    // Contour Builder page
    // Shows the save-order dialog of "Seperate by Depth"; tests put a script in its place.
    std::function<void(depth::TChangeSaveOrder &)> ShowSaveOrder;
    void btnIsoMapClick();
    void UpdateIsoImage();
    void btnCreateHTClick();
    void btnIsoSaveGPXClick();
    void btnActionHTFileClick();
    void btnHtFitClick();
    void btnHtZoomClick();
    void IsoImageMouseDown(QMouseEvent *e);
    void IsoImageMouseMove(QMouseEvent *e);
    void IsoImageMouseUp(QMouseEvent *e);
    void IsoImageResize();
    void LeaveIsoMouseMode();

    // The user guide: where it is looked for (the installed copy, the one beside the
    // program, the source tree's), and F1 and "Help" showing the first one found.
    static std::vector<std::string> UserGuidePlaces();
    void ShowUserGuide();
    std::function<bool(const QUrl &)> OpenUrl; // QDesktopServices::openUrl; tests look instead
    // The status bar's word after a save: "Saved name.gpx: 5 tracks, 4,671 points".
    static std::string SavedText(const std::string &path, const model::TGPX &doc);
    static std::string SavedImageText(const std::string &path, int width, int height);
    static std::string SavedHTText(const std::vector<std::string> &paths, std::int64_t points);

  protected:
    void closeEvent(QCloseEvent *e) override;
    // Files dropped on the window are added as "Add Files..." adds them.
    void dragEnterEvent(QDragEnterEvent *e) override;
    void dragMoveEvent(QDragMoveEvent *e) override;
    void dropEvent(QDropEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;

  private:
    void BuildProjectPage();
    void BuildInterpolatorPage();
    void BuildContourPage();
    void BuildDebugPage();
    void BuildAboutPage();
    void BuildStatusBar();
    void ConfigureViews();
    void ShowPage(QWidget *page, bool visible);
    void PageChanged(int index);
    void FreezeSize();
    // Runs a handler; an error it raises is shown in an error box, the window goes on.
    template <class F> void Guarded(F f) {
        try {
            f();
        } catch (const std::exception &e) {
            Dialogs->Error(e.what());
        }
    }

    // The mouse on a map: its pixel, the last position kept by the view, the read-out.
    static QPoint MousePixel(QMouseEvent *e);
    static void NoteLastPosition(mapview::TGPXDraw &view, QPoint p);
    model::TPoint4D2 ShowPosition(const mapview::TViewport &frame, QPoint p);
    void DrawBandPreview();
    void SetRunning(bool running); // a run locks out everything that reads or writes its data
    void ShowRunProgress();
    void FinishInterpolation();
    void ConnectInterpolatorPage();
    void ConnectContourPage();
    void ConnectShortcuts(); // keys, drops and the wheel

    TQtDialogs qtDialogs_{this};
    QPushButton *modeButton_ = nullptr; // the button whose mode is active
    // The run under way: the interpolator and the workers; a timer shows their progress.
    std::unique_ptr<depth::TShepardInterp> ShepardInterp;
    std::unique_ptr<depth::TStripeRunner> runner_;
    depth::TMatSingle
        coverage_; // distance of each chart cell to its nearest sounding; made when first shown
    const depth::TMatSingle &Coverage();
    QTimer *runProgress_ = nullptr;
};

} // namespace app
