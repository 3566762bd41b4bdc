#include "app/Unit1.h"

#include "app/ColorModelEditor.h"
#include "app/EditProject.h"
#include "app/GradientPanel.h"
#include "app/SurveysDialog.h"
#include "depth/Despike.h"
#include "depth/Interpolation.h"
#include "depth/MovingSquares.h"
#include "depth/ProjectLoader.h"
#include "support/NumText.h"
#include "support/Rounding.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include <thread>

namespace app {

namespace {

QString Q(const std::string &s) {
    return QString::fromStdString(s);
}

template <class W> W *Named(W *w, const char *name, const char *hint = nullptr) {
    w->setObjectName(name);
    if (hint)
        w->setToolTip(QString::fromUtf8(hint));
    return w;
}

QPushButton *Button(const char *name, const char *caption, const char *hint = nullptr) {
    return Named(new QPushButton(QString::fromUtf8(caption)), name, hint);
}

QLabel *Label(const char *name, const char *text = "") {
    auto *l = Named(new QLabel(QString::fromUtf8(text)), name);
    l->setWordWrap(true);
    return l;
}

// A framed box of the side panel.
QGroupBox *Box(QVBoxLayout *panel, std::initializer_list<QWidget *> widgets) {
    auto *box = new QGroupBox;
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(6, 6, 6, 6);
    for (QWidget *w : widgets)
        layout->addWidget(w);
    panel->addWidget(box);
    return box;
}

// The caption of a check box, wrapped onto the narrow side panel; a click on it toggles
// the box as a click on the caption would.
class CaptionLabel : public QLabel {
  public:
    CaptionLabel(QCheckBox *box) : QLabel(box->text()), box_(box) {
        setWordWrap(true);
        setToolTip(box->toolTip());
    }

  protected:
    void mousePressEvent(QMouseEvent *) override { box_->toggle(); }

  private:
    QCheckBox *box_;
};

QWidget *Wrapping(QCheckBox *box) {
    auto *w = new QWidget;
    auto *row = new QHBoxLayout(w);
    row->setContentsMargins(0, 0, 0, 0);
    auto *label = new CaptionLabel(box);
    box->setAccessibleName(box->text()); // the caption stays the box's name
    box->setText("");
    row->addWidget(box, 0, Qt::AlignTop);
    row->addWidget(label, 1);
    return w;
}

QLineEdit *Digits(const char *name, const char *text, int maxLength, const char *hint = nullptr) {
    auto *e = Named(new QLineEdit(QString::fromUtf8(text)), name, hint);
    e->setMaxLength(maxLength);
    e->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), e));
    return e;
}

QSpinBox *Spin(const char *name, int min, int max, int step, int value, int maxLength,
               const char *hint = nullptr) {
    auto *s = Named(new QSpinBox, name, hint);
    s->setRange(min, max);
    s->setSingleStep(step);
    s->setValue(value);
    (void)maxLength; // the range keeps the text within its length
    return s;
}

// A page with a 160-pixel side panel on the left and the image area filling the rest.
QVBoxLayout *SidePanel(QWidget *page, QWidget *image) {
    auto *row = new QHBoxLayout(page);
    row->setContentsMargins(2, 2, 2, 2);
    auto *side = new QWidget;
    side->setFixedWidth(160);
    auto *panel = new QVBoxLayout(side);
    panel->setContentsMargins(0, 0, 0, 0);
    row->addWidget(side);
    row->addWidget(image, 1);
    return panel;
}

const char *kAddFilesHint =
    "Add *.KML or *.GPX files without depth reading (i.e. exported from Google Earth) to setup the "
    "shoreline and islands. Load *.GPX or *.HT files downloaded from your echo to setup depth "
    "recordings. The options below will be applied on the track you'll load now.";
const char *kSaveProjectHint = "Save all loaded data (shoreline and depth records) in a file. You "
                               "could load this file the next time using \"Add files...\"";

} // namespace

std::uint32_t TForm1::GetCPUCount() {
    return std::max(1u, std::thread::hardware_concurrency());
}

void TForm1::Log(const std::string &line) {
    memDebug->appendPlainText(Q(line));
}

void TForm1::SetStatus(int panel, const std::string &text) {
    sbPanels[panel]->setText(Q(text));
}
std::string TForm1::StatusText(int panel) const {
    return sbPanels[panel]->text().toStdString();
}

TForm1::TForm1(QWidget *parent) : QMainWindow(parent), Dialogs(&qtDialogs_) {
    setObjectName("Form1");
    setWindowTitle("Quillfen: Depthwright 2D");
    PageControl = Named(new QTabWidget, "PageControl");
    setCentralWidget(PageControl);
    BuildProjectPage();
    BuildInterpolatorPage();
    BuildContourPage();
    BuildDebugPage();
    BuildAboutPage();
    BuildStatusBar();
    resize(1004, 677 + sbMain->sizeHint().height());
    if (QScreen *screen = QApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    // 1. the Debug tab; 2. the masks at the map image's size; 3. the shadow map raster
    PageControl->setTabVisible(PageControl->indexOf(TabDebug), true);
    Project.SetMaskSize(GPXImage->width(), GPXImage->height());
    ShadowMap = QImage(GPXImage->width(), GPXImage->height(), QImage::Format_ARGB32);
    // 4. the slider labels; 5. the size limits
    lblInterpolateThrds->setText("CPUs for calculation: " +
                                 QString::number(tbInterpolateThrds->value()));
    lblInterpolateStyle->setText("Interpolator Style: " +
                                 QString::number(tbInterpolatorStyle->value()));
    setMinimumSize(850, 600);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    // 6.-9. colours, documents and views
    ColorModelEditorForm = new TColorModelEditorForm(qtDialogs_, this);
    ColorModelEditorForm->OnOK = [this] {
        if (Interpolating())
            return; // the grid is being written; the run draws it with the new model
        sbMain->update();
        GPXView.Redraw(false);
        IsoView.Redraw(false);
        DrawInterpolatedImage();
    };
    auto *strip = static_cast<TGradientPanel *>(sbPanels[3]);
    strip->SetGradient(&ColorModelEditorForm->FGradient);
    strip->OnClick = [this] { ColorModelEditorForm->show(); };
    ConfigureViews();
    // 10. the processor count bounds the thread slider
    tbInterpolateThrds->setMaximum(static_cast<int>(GetCPUCount()));
    Log(std::to_string(tbInterpolateThrds->maximum()) + " CPUs found");
    tbInterpolateThrds->setValue(tbInterpolateThrds->maximum());
    // 11.
    ResetProjectState();
    ConnectInterpolatorPage();
    ConnectContourPage();
    ConnectShortcuts();
    connect(PageControl, &QTabWidget::currentChanged, this, [this](int i) { PageChanged(i); });
}

TForm1::~TForm1() = default;

const depth::TColor32Gradient &TForm1::FGradient() const {
    return ColorModelEditorForm->FGradient;
}

void TForm1::ConfigureViews() {
    auto depthColor = [this](float offset) { return FGradient().ColorAt(offset); };
    GPXView.TrackWidth = 2;
    GPXView.Options.BackGroundColor = 0xFF000000;
    GPXView.DepthColorShallow = 0xFF00FF00;
    GPXView.DepthColorDeep = 0xFF0000FF;
    GPXView.ShadowMapEnabled = true;
    GPXView.ShadowMapTrackColor = 0xFFC0C0C0;
    GPXView.MaskArray = MaskArray.get();
    GPXView.ShoreArray = ShoreArray.get();
    GPXView.DepthColor = depthColor;
    GPXView.ShowFlags = true;
    GPXImage->Control.Bitmap.fill(QColor::fromRgba(GPXView.Options.BackGroundColor));
    InterpolatedImage->Control.Bitmap.fill(QColor::fromRgba(0xFF000000));
    imgDebug->Control.Bitmap.fill(QColor::fromRgba(0xFF000000));
    IsoView.TrackWidth = 2;
    IsoView.Options.BackGroundColor = 0xFF000000;
    IsoView.DepthColorShallow = 0xFF00FF00;
    IsoView.DepthColorDeep = 0xFF0000FF;
    IsoView.ShadowMapEnabled = false;
    IsoView.DepthColor = depthColor;
    IsoImage->Control.Bitmap.fill(QColor::fromRgba(IsoView.Options.BackGroundColor));
}

void TForm1::BuildProjectPage() {
    TabProject = Named(new QWidget, "TabProject");
    GPXImage = Named(new TImageView, "GPXImage");
    QVBoxLayout *panel = SidePanel(TabProject, GPXImage);
    btnAddFiles = Button("btnAddFiles", "Add Files...", kAddFilesHint);
    BitBtn1 = Button("BitBtn1", "Edit Project...", "Edit loaded tracks.");
    cbAddDepth =
        Named(new QCheckBox("Enter depth when loading data /wo depth"), "cbAddDepth",
              "This will allow you to load *.KML or *.GPX tracks and enter the depth for "
              "each track. You will be able to copy existing depth maps into your "
              "Humminbird device (You don't have to map! Yust add the files, enter the depth "
              "and export on this tab with \"Save Tracks...\" -> HT-File)");
    cbAddOffset =
        Named(new QCheckBox("Enter depth offset (+/-)"), "cbAddOffset",
              "When enabling this checkbox, you will be asked to enter a depth offset which "
              "is applied to the next loaded tracks. The depth offset could be either "
              "positive or negative value in cm.");
    btnTrkSaveGPX = Button("btnTrkSaveGPX", "Save Project...", kSaveProjectHint);
    btnTrkSaveGPX->setEnabled(false);
    btnSurveys = Button("btnSurveys", "Surveys...",
                        "The files of soundings with their days and water levels: estimate and "
                        "apply level offsets.");
    btnSurveys->setEnabled(false);
    Box(panel, {btnAddFiles, BitBtn1, Wrapping(cbAddDepth), Wrapping(cbAddOffset), btnSurveys,
                btnTrkSaveGPX});
    btnTrkFit = Button("btnTrkFit", "Fit to Screen", "Fit all tracks to the viewport.");
    btnTrkZoom = Button("btnTrkZoom", "Zoom Area", "Select a screen area to magnify.");
    btnTrkZoomIn = Button("btnTrkZoomIn", "Zoom In");
    btnTrkZoomOut = Button("btnTrkZoomOut", "Zoom Out");
    for (QPushButton *b : {btnTrkFit, btnTrkZoom, btnTrkZoomIn, btnTrkZoomOut})
        b->setEnabled(false);
    Box(panel, {btnTrkFit, btnTrkZoom, btnTrkZoomIn, btnTrkZoomOut});
    cbUnits = Named(new QComboBox, "cbUnits",
                    "Depths shown and entered in metres or in feet (files keep their own units).");
    cbUnits->addItems({"Metres", "Feet"});
    auto *unitsRow = new QWidget;
    auto *unitsLayout = new QHBoxLayout(unitsRow);
    unitsLayout->setContentsMargins(0, 0, 0, 0);
    unitsLayout->addWidget(new QLabel("Units"));
    unitsLayout->addWidget(cbUnits, 1);
    Box(panel, {unitsRow});
    btnActionHTFile = Button("btnActionHTFile", "Make HT File...");
    btnActionInterpolate = Button("btnActionInterpolate", "Interpolate...");
    btnStartOver = Button("btnStartOver", "Start over", "Clear all loaded data and start over.");
    Box(panel, {btnActionHTFile, btnActionInterpolate, btnStartOver});
    panel->addStretch(1);
    lblMaxDepth = Label("lblMaxDepth");
    lblMapSize = Label("lblMapSize");
    lblImageSize = Label("lblImageSize");
    lblResolution = Label("lblResolution");
    lblNumPoints = Label("lblNumPoints");
    Box(panel, {lblMaxDepth, lblMapSize, lblImageSize, lblResolution, lblNumPoints});
    PageControl->addTab(TabProject, "Project Manager");

    connect(btnAddFiles, &QPushButton::clicked, this, [this] { btnAddFilesClick(); });
    connect(BitBtn1, &QPushButton::clicked, this, [this] {
        if (EditProjectForm)
            EditProjectForm->show();
    });
    connect(btnTrkSaveGPX, &QPushButton::clicked, this, [this] { btnTrkSaveGPXClick(); });
    connect(btnSurveys, &QPushButton::clicked, this,
            [this] { Guarded([&] { btnSurveysClick(); }); });
    ShowSurveys = [](TSurveysForm &form) { return form.exec() == QDialog::Accepted; };
    connect(btnTrkFit, &QPushButton::clicked, this, [this] { btnTrkFitClick(); });
    connect(btnTrkZoom, &QPushButton::clicked, this, [this] { btnTrkZoomClick(); });
    connect(btnTrkZoomIn, &QPushButton::clicked, this, [this] { btnTrkZoomInClick(); });
    connect(btnTrkZoomOut, &QPushButton::clicked, this, [this] { btnTrkZoomOutClick(); });
    connect(btnActionInterpolate, &QPushButton::clicked, this,
            [this] { btnActionInterpolateClick(); });
    connect(btnStartOver, &QPushButton::clicked, this, [this] { btnStartOverClick(); });
    connect(cbUnits, &QComboBox::currentIndexChanged, this, [this] { UnitsChanged(); });
    GPXImage->setCursor(Qt::SizeAllCursor);
    GPXImage->OnMouseDown = [this](QMouseEvent *e) { Guarded([&] { GPXImageMouseDown(e); }); };
    GPXImage->OnMouseMove = [this](QMouseEvent *e) { Guarded([&] { GPXImageMouseMove(e); }); };
    GPXImage->OnMouseUp = [this](QMouseEvent *e) { Guarded([&] { GPXImageMouseUp(e); }); };
    GPXImage->OnResize = [this] { Guarded([&] { GPXImageResize(); }); };
}

void TForm1::BuildInterpolatorPage() {
    TabInterpolator = Named(new QWidget, "TabInterpolator");
    InterpolatedImage = Named(new TImageView, "InterpolatedImage");
    InterpolatedImage->setCursor(Qt::CrossCursor);
    auto *imageArea = new QWidget;
    auto *imageColumn = new QVBoxLayout(imageArea);
    imageColumn->setContentsMargins(0, 0, 0, 0);
    imageColumn->addWidget(InterpolatedImage, 1);
    pbInterpolate = Named(new QProgressBar, "pbInterpolate");
    pbInterpolate->hide();
    imageColumn->addWidget(pbInterpolate);
    QVBoxLayout *panel = SidePanel(TabInterpolator, imageArea);

    btnInterpolate = Button("btnInterpolate", "Start Interpolator",
                            "Start the interpolation process with the parameters set below.");
    lblInterpolateThrds = Label("lblInterpolateThrds");
    tbInterpolateThrds = Named(new TSelectionSlider, "tbInterpolateThrds",
                               "Number of CPU cores the mapping process will use.");
    tbInterpolateThrds->setRange(1, 1);
    auto *line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    lblInterpolateStyle = Label("lblInterpolateStyle");
    tbInterpolatorStyle = Named(new QSlider(Qt::Horizontal), "tbInterpolatorStyle",
                                "Using this slider, you can influence the mapping style.");
    tbInterpolatorStyle->setRange(2, 8);
    tbInterpolatorStyle->setValue(5);
    auto *ends = new QWidget;
    auto *endsRow = new QHBoxLayout(ends);
    endsRow->setContentsMargins(0, 0, 0, 0);
    endsRow->addWidget(new QLabel("smooth"));
    endsRow->addStretch(1);
    endsRow->addWidget(new QLabel("hard"));
    udInterpolationWidth = Spin("udInterpolationWidth", 1, 999, 5, 50, 3,
                                "This will specify the distance of extrapolation to the left and "
                                "right side of any recorded track ");
    lblInterpolationWidth = Label("lblInterpolationWidth", "px");
    udDontCareRadius =
        Spin("udDontCareRadius", 1, 999, 1, 50, 3,
             "Set this value to speed up the interpolation process by ignoring events "
             "outside the specified area. Should be set to two times the extrapolation "
             "radius for best results.");
    lblDontCareRadius = Label("lblDontCareRadius", "px");
    udSmoothingRuns =
        Spin("udSmoothingRuns", 0, 10, 1, 6, 2, "Smooth the generated map. Default = 2");
    auto *smoothRow = new QWidget;
    auto *smoothLayout = new QHBoxLayout(smoothRow);
    smoothLayout->setContentsMargins(0, 0, 0, 0);
    smoothLayout->addWidget(udSmoothingRuns);
    smoothLayout->addWidget(new QLabel("times"));
    Box(panel, {btnInterpolate, lblInterpolateThrds, tbInterpolateThrds, line, lblInterpolateStyle,
                tbInterpolatorStyle, ends, new QLabel("Extrapolation Radius"), udInterpolationWidth,
                lblInterpolationWidth, new QLabel("Don't Care Radius"), udDontCareRadius,
                lblDontCareRadius, new QLabel("Apply Smoothing"), smoothRow});
    btnInterpolSaveBMP =
        Button("btnInterpolSaveBMP", "Save Image...", "Save current view to a graphic file.");
    cbLegend = Named(new QCheckBox("with legend"), "cbLegend",
                     "Add the colour bar with its depths, a scale bar, the north arrow and the "
                     "date to the saved image.");
    btnExportGrid = Button("btnExportGrid", "Export Grid...",
                           "Save the depth grid as a GeoTIFF: depth in metres and the distance to "
                           "the nearest sounding.");
    btnExportKMZ = Button("btnExportKMZ", "Export KMZ...",
                          "Save the chart and its contours as a Google Earth overlay.");
    cbCoverage = Named(new QCheckBox("Show coverage"), "cbCoverage",
                       "Hatch the cells farther from any sounding than the distance below: only "
                       "interpolated there.");
    udCoverage = Spin("udCoverage", 1, 9999, 5, 25, 4, "Metres from the nearest sounding");
    auto *coverageRow = new QWidget;
    auto *coverageLayout = new QHBoxLayout(coverageRow);
    coverageLayout->setContentsMargins(0, 0, 0, 0);
    coverageLayout->addWidget(udCoverage);
    coverageLayout->addWidget(new QLabel("m"));
    for (QPushButton *b : {btnExportGrid, btnExportKMZ})
        b->setEnabled(false);
    Box(panel,
        {btnInterpolSaveBMP, cbLegend, btnExportGrid, btnExportKMZ, cbCoverage, coverageRow});
    btnActionISOChart = Button("btnActionISOChart", "Make Isometric Chart");
    Box(panel, {btnActionISOChart});
    panel->addStretch(1);
    lblMaxDepth1 = Label("lblMaxDepth1");
    lblMapSize1 = Label("lblMapSize1");
    lblImageSize1 = Label("lblImageSize1");
    lblResolution1 = Label("lblResolution1");
    lblNumPoints1 = Label("lblNumPoints1");
    Box(panel, {lblMaxDepth1, lblMapSize1, lblImageSize1, lblResolution1, lblNumPoints1});
    PageControl->addTab(TabInterpolator, "Interpolator");

    connect(tbInterpolateThrds, &QSlider::valueChanged, this, [this](int v) {
        lblInterpolateThrds->setText("CPUs for calculation: " + QString::number(v));
    });
    connect(btnExportGrid, &QPushButton::clicked, this,
            [this] { Guarded([&] { btnExportGridClick(); }); });
    connect(btnExportKMZ, &QPushButton::clicked, this,
            [this] { Guarded([&] { btnExportKMZClick(); }); });
    connect(cbCoverage, &QCheckBox::toggled, this,
            [this] { Guarded([&] { DrawInterpolatedImage(); }); });
    connect(udCoverage, &QSpinBox::valueChanged, this, [this] {
        if (cbCoverage->isChecked())
            Guarded([&] { DrawInterpolatedImage(); });
    });
    connect(tbInterpolatorStyle, &QSlider::valueChanged, this, [this](int v) {
        lblInterpolateStyle->setText("Interpolator Style: " + QString::number(v));
    });
}

void TForm1::BuildContourPage() {
    TabHTBuilder = Named(new QWidget, "TabHTBuilder");
    IsoImage = Named(new TImageView, "IsoImage");
    QVBoxLayout *panel = SidePanel(TabHTBuilder, IsoImage);
    btnIsoMap = Button("btnIsoMap", "Start Contour Builder", "Creates an ISO style contour chart.");
    edtIsoStep = Digits("edtIsoStep", "100", 4);
    edtIsoStart = Digits("edtIsoStart", "100", 4);
    auto withUnit = [](QLineEdit *e, QLabel *&unit) {
        auto *w = new QWidget;
        auto *row = new QHBoxLayout(w);
        row->setContentsMargins(0, 0, 0, 0);
        row->addWidget(e);
        unit = new QLabel("cm");
        row->addWidget(unit);
        return w;
    };
    Box(panel, {btnIsoMap, new QLabel("Step size"), withUnit(edtIsoStep, lblIsoStepUnit),
                new QLabel("Min depth"), withUnit(edtIsoStart, lblIsoStartUnit)});
    btnCreateHT =
        Button("btnCreateHT", "Save as HT File",
               "This will create an HT file which could be uploaded to your Humminbird unit");
    edtTrackName = Named(new QLineEdit("NewTrack"), "edtTrackName");
    edtTrackName->setMaxLength(17);
    cbManualOrder = Named(new QCheckBox("Seperate by Depth"), "cbManualOrder");
    Box(panel, {btnCreateHT, new QLabel("Track name"), edtTrackName, cbManualOrder});
    btnHtFit = Button("btnHtFit", "Fit to Screen", "Fit all tracks to the viewport.");
    btnHtZoom = Button("btnHtZoom", "Zoom Area", "Select a screen area to magnify.");
    btnHtFit->setFlat(true);
    btnHtZoom->setFlat(true);
    Box(panel, {btnHtFit, btnHtZoom});
    btnIsoSaveBMP =
        Button("btnIsoSaveBMP", "Save Image...", "Save current view to a graphic file.");
    btnIsoSaveGPX =
        Button("btnIsoSaveGPX", "Save Tracks...",
               "Save current view to GPX, or to a GeoPackage, shapefile, KML or GeoJSON file");
    cbIsoLegend = Named(new QCheckBox("with legend"), "cbIsoLegend",
                        "Add the colour bar with its depths, a scale bar, the north arrow and the "
                        "date to the saved image.");
    Box(panel, {btnIsoSaveBMP, cbIsoLegend, btnIsoSaveGPX});
    panel->addStretch(1);
    lblNumIsoTracks = Label("lblNumIsoTracks");
    lblGeneratedPoints = Label("lblGeneratedPoints");
    lblWritePoints = Label("lblWritePoints");
    Box(panel, {lblNumIsoTracks, lblGeneratedPoints, lblWritePoints});
    PageControl->addTab(TabHTBuilder, "Contour Builder");
}

void TForm1::BuildDebugPage() {
    TabDebug = Named(new QWidget, "TabDebug");
    auto *row = new QHBoxLayout(TabDebug);
    auto *side = new QWidget;
    side->setFixedWidth(160);
    auto *panel = new QVBoxLayout(side);
    panel->setContentsMargins(0, 0, 0, 0);
    rgDebugView = Named(new QGroupBox("Debug View"), "rgDebugView");
    auto *radios = new QVBoxLayout(rgDebugView);
    rbDebugLog = new QRadioButton("Log");
    rbDebugImage = new QRadioButton("Image");
    rbDebugLog->setChecked(true);
    radios->addWidget(rbDebugLog);
    radios->addWidget(rbDebugImage);
    panel->addWidget(rgDebugView);
    btnDebugUpdateArrays = Button("btnDebugUpdateArrays", "Update");
    btnShowMask = Button("btnShowMask", "MaskArray");
    btnShowShore = Button("btnShowShore", "ShoreArray");
    for (QPushButton *b : {btnDebugUpdateArrays, btnShowMask, btnShowShore})
        panel->addWidget(b);
    panel->addStretch(1);
    row->addWidget(side);
    memDebug = Named(new QPlainTextEdit, "memDebug");
    memDebug->setReadOnly(true);
    imgDebug = Named(new TImageView, "imgDebug");
    imgDebug->hide();
    row->addWidget(memDebug, 1);
    row->addWidget(imgDebug, 1);
    PageControl->addTab(TabDebug, "Debug");

    connect(rbDebugLog, &QRadioButton::toggled, this, [this](bool log) {
        memDebug->setVisible(log);
        imgDebug->setVisible(!log);
    });
    connect(btnShowMask, &QPushButton::clicked, this, [this] {
        MaskArray->MaskToImage(imgDebug->Control.Bitmap);
        imgDebug->update();
    });
    connect(btnShowShore, &QPushButton::clicked, this, [this] {
        ShoreArray->MaskToImage(imgDebug->Control.Bitmap);
        imgDebug->update();
    });
    connect(btnDebugUpdateArrays, &QPushButton::clicked, this, [this] {
        if (Interpolating())
            return;
        Guarded([&] {
            Project.ShorelineMasks();
            Project.GatherSamples(Project.Band(udInterpolationWidth->value()));
        });
    });
}

void TForm1::BuildAboutPage() {
    TabAbout = Named(new QWidget, "TabAbout");
    auto *layout = new QVBoxLayout(TabAbout);
    memAbout = Named(new QPlainTextEdit, "memAbout");
    memAbout->setReadOnly(true);
    memAbout->setPlainText(
        "Depthwright 2D Version " DEPTHWRIGHT_VERSION_TEXT "\n" + QString(54, '#') +
        "\n\nDepthwright 2D is part of Quillfen, a collection of programs to enhance Humminbird "
        "devices.\n\nThis program is freeware and for non-commercial use only.\n\n"
        "There is no warranty of any kind: use it at your own risk, and never navigate by a chart "
        "you made yourself alone.\n\nCredits:\n"
        "- inverse distance (Shepard) interpolation\n- marching squares contour tracing\n"
        "- libjpeg for JPEG images\n- Qt for the user interface\n");
    layout->addWidget(memAbout);
    btnHelp = Button("btnHelp", "Help", "Open the user guide.");
    layout->addWidget(btnHelp, 0, Qt::AlignLeft);
    PageControl->addTab(TabAbout, "About");
}

void TForm1::BuildStatusBar() {
    sbMain = Named(new QStatusBar, "sbMain");
    setStatusBar(sbMain);
    const char *texts[6] = {"Properties", "", "min", "Gradient", "max", "Coord"};
    const int widths[6] = {490, 0, 30, 150, 100, 150};
    for (int i = 0; i < 6; ++i) {
        // Panel 3 is the gradient strip of the colour model; a click on it opens the editor.
        sbPanels[i] = i == 3 ? new TGradientPanel : new QLabel(texts[i]);
        sbPanels[i]->setObjectName(QString("sbPanel%1").arg(i));
        sbPanels[i]->setFixedWidth(widths[i]);
        if (i == 5) // wide enough for the longest position text, hemispheres included
            sbPanels[i]->setFixedWidth(
                sbPanels[i]->fontMetrics().horizontalAdvance("89.999999° S, 179.999999° W") + 12);
        sbPanels[i]->setVisible(widths[i] > 0);
        sbMain->addWidget(sbPanels[i]);
    }
}

void TForm1::ShowPage(QWidget *page, bool visible) {
    PageControl->setTabVisible(PageControl->indexOf(page), visible);
}

void TForm1::ResetProjectState() {
    FileLoaded = false;
    MaxDepth = 0;
    SetStatus(4, Unit() == depth::TDepthUnit::Feet ? "0ft" : "0m");
    for (QLabel *l : {lblMaxDepth, lblMaxDepth1, lblMapSize, lblMapSize1, lblImageSize,
                      lblImageSize1, lblResolution, lblResolution1, lblNumPoints, lblNumPoints1})
        l->clear();
    SetStatus(5, "");
    SetStatus(2, Unit() == depth::TDepthUnit::Feet ? "0ft" : "0m");
    lblGeneratedPoints->clear();
    lblWritePoints->clear();
    lblNumIsoTracks->clear();
    btnInterpolate->setEnabled(false);
    pbInterpolate->hide();
    btnInterpolSaveBMP->setEnabled(false);
    btnActionISOChart->setEnabled(false);
    btnIsoMap->setEnabled(false);
    DiscardChart();
    IsoLoaded = false;
    InCoord.clear();
    InDepth.clear();
    Modified = false;
    History.Clear();
    if (EditProjectForm)
        EditProjectForm->RefreshTV();
    if (GPXView.MouseMode != mapview::mmMove || modeButton_)
        LeaveMouseMode(modeButton_);
    LeaveIsoMouseMode();
    IsoView.Clear();
    IsoData.Clear();
    // Nothing is left to save, zoom or export; both maps show no chart.
    InterpolatedImage->Layers.clear();
    InterpolatedImage->Control.Bitmap.fill(QColor::fromRgba(0xFF000000));
    InterpolatedImage->update();
    IsoImage->Control.Bitmap.fill(QColor::fromRgba(IsoView.Options.BackGroundColor));
    IsoImage->update();
    for (QPushButton *b :
         {btnIsoSaveBMP, btnIsoSaveGPX, btnCreateHT, btnHtFit, btnHtZoom, btnTrkSaveGPX, btnTrkFit,
          btnTrkZoom, btnTrkZoomIn, btnTrkZoomOut, btnSurveys})
        b->setEnabled(false);
    PageControl->setCurrentWidget(TabProject);
    ShowPage(TabProject, true);
    ShowPage(TabAbout, true);
    ShowPage(TabInterpolator, false);
    ShowPage(TabHTBuilder, false);
}

void TForm1::DiscardChart() {
    InterpLoaded = false;
    Project.DiscardChart();
    coverage_ = depth::TMatSingle();
    for (QPushButton *b :
         {btnInterpolSaveBMP, btnActionISOChart, btnIsoMap, btnExportGrid, btnExportKMZ})
        b->setEnabled(false);
    if (PageControl->currentWidget() == TabInterpolator)
        Guarded([&] { UpdateInterpolatorSettings(); });
}

void TForm1::ApplyEdit(model::TEdit edit) {
    if (edit.Empty())
        return;
    const std::string what = edit.Name;
    History.Push(std::move(edit));
    ProjectEdited(what);
}

// After an undo or redo the tree and the selection are built anew: what they pointed at
// may be gone or back.
void TForm1::StepHistory(bool redo) {
    if (Interpolating() || !(redo ? History.CanRedo() : History.CanUndo()))
        return;
    GPXView.wptSelection = nullptr;
    GPXdata.Selection.Clear();
    const std::string what = redo ? History.Redo() : History.Undo();
    if (EditProjectForm)
        EditProjectForm->RefreshTV();
    ProjectEdited((redo ? "Redone: " : "Undone: ") + what);
    RedrawProjectMap();
}

void TForm1::FindSpikes() {
    if (!FileLoaded || Interpolating())
        return;
    std::vector<model::TGPXwpt *> before;
    for (const auto &t : GPXdata.trk.Items())
        for (const auto &s : t->Items())
            for (const auto &p : s->Items())
                if (p->Flagged)
                    before.push_back(p.get());
    std::sort(before.begin(), before.end());
    const std::int64_t flagged = depth::FlagSpikes(GPXdata);
    model::TEdit edit("Find Spikes");
    for (const auto &t : GPXdata.trk.Items())
        for (const auto &s : t->Items())
            for (const auto &p : s->Items())
                if (p->Flagged && !std::binary_search(before.begin(), before.end(), p.get()))
                    edit.NoteFlag(*p, false);
    ApplyEdit(std::move(edit));
    RedrawProjectMap();
    SetStatus(0, std::to_string(flagged) + " soundings flagged");
}

void TForm1::ShowLevelOffsets() {
    GPXView.TrackDepthOffsets.clear();
    if (Project.HasLevelOffsets())
        GPXView.TrackDepthOffsets = depth::TrackOffsetsCm(Project.Surveys, GPXdata.trk.Count());
}

void TForm1::btnSurveysClick() {
    if (!FileLoaded || Interpolating())
        return;
    TSurveysForm form(
        GPXdata, Project.Surveys, *Dialogs, [this](const std::string &l) { Log(l); }, this);
    if (!ShowSurveys(form))
        return;
    bool changed = false;
    for (std::size_t k = 0; k < Project.Surveys.size(); ++k)
        if (Project.Surveys[k].OffsetCm != form.Surveys()[k].OffsetCm) {
            Project.Surveys[k].OffsetCm = form.Surveys()[k].OffsetCm;
            changed = true;
        }
    if (!changed)
        return;
    Modified = true;
    ShowLevelOffsets();
    DiscardChart(); // the chart was made with the old offsets
    RedrawProjectMap();
    std::string text = "Level offsets:";
    for (const depth::TSurvey &s : Project.Surveys)
        text += " " + s.Name + " " + support::FloatToStrF(s.OffsetCm, 15, 1) + " cm;";
    SetStatus(0, text);
}

void TForm1::ProjectEdited(const std::string &what) {
    Modified = true;
    Project.SyncSurveys();
    MaxDepth = depth::GetMaxUnflaggedDepth(GPXdata); // a statistic like the others
    GPXView.MaxDepth = MaxDepth;
    ShowLevelOffsets();
    DiscardChart();
    UpdateStatistics();
    SetStatus(0, what);
}

bool TForm1::MayDiscardChanges() {
    return !Modified ||
           Dialogs->AskYesNo("The project has changes that were not saved. Discard them?");
}

void TForm1::btnStartOverClick() {
    if (Interpolating() || !MayDiscardChanges())
        return;
    GPXView.Clear();
    Project.Clear();
    IsoView.Clear();
    ShadowMap.fill(QColor::fromRgba(0xFFFFFFFF));
    MaskArray->Clear();
    ShoreArray->Clear();
    ResetProjectState();
    // The project no longer holds the window at the size of its map.
    setMinimumSize(850, 600);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
}

depth::TDepthUnit TForm1::Unit() const {
    return cbUnits->currentIndex() == 1 ? depth::TDepthUnit::Feet : depth::TDepthUnit::Metres;
}

std::string TForm1::DepthText(double cm) const {
    if (Unit() == depth::TDepthUnit::Metres)
        return std::to_string(static_cast<long long>(cm)) + " cm";
    return support::FloatToStrF(depth::CmToUnit(cm, depth::TDepthUnit::Feet), 15, 1) + " ft";
}

std::string TForm1::SampleDepthText(double cm) const {
    if (Unit() == depth::TDepthUnit::Metres)
        return support::FloatToStrF(cm / 100, 4, 2) + "m";
    return support::FloatToStrF(depth::CmToUnit(cm, depth::TDepthUnit::Feet), 4, 2) + "ft";
}

void TForm1::UnitsChanged() {
    const bool feet = Unit() == depth::TDepthUnit::Feet;
    for (QLabel *l : {lblIsoStepUnit, lblIsoStartUnit})
        l->setText(feet ? "ft" : "cm");
    // A contour step of 100 cm is no step in feet: the boxes follow with a usual one.
    if (feet && edtIsoStep->text() == "100" && edtIsoStart->text() == "100") {
        edtIsoStep->setText("5");
        edtIsoStart->setText("5");
    } else if (!feet && edtIsoStep->text() == "5" && edtIsoStart->text() == "5") {
        edtIsoStep->setText("100");
        edtIsoStart->setText("100");
    }
    SetStatus(2, feet ? "0ft" : "0m");
    if (FileLoaded)
        UpdateStatistics();
    else
        SetStatus(4, feet ? "0ft" : "0m");
}

void TForm1::UpdateStatistics() {
    const std::string depth = DepthText(GPXView.MaxDepth);
    SetStatus(4, depth);
    model::TPoint4D2 c;
    c.Longitude = GPXView.XToLo(0);
    c.Latitude = GPXView.YToLa(0);
    const std::int64_t W = support::Round(
        c.WGS84Distance(GPXView.XToLo(GPXView.Width() - 1), GPXView.YToLa(0), false));
    const std::int64_t H = support::Round(
        c.WGS84Distance(GPXView.XToLo(0), GPXView.YToLa(GPXView.Height() - 1), false));
    const int iw = std::max(GPXImage->width(), 1), ih = std::max(GPXImage->height(), 1);
    const std::int64_t points = depth::CountPoints(GPXdata, 0);
    const std::pair<QLabel *, QLabel *> labels[] = {{lblMaxDepth, lblMaxDepth1},
                                                    {lblMapSize, lblMapSize1},
                                                    {lblImageSize, lblImageSize1},
                                                    {lblResolution, lblResolution1},
                                                    {lblNumPoints, lblNumPoints1}};
    const std::string texts[] = {
        "Max Depth: " + depth, "Area: " + std::to_string(W) + " x " + std::to_string(H) + " m",
        "Screen Size: " + std::to_string(GPXImage->width()) + " x " +
            std::to_string(GPXImage->height()) + " px",
        Unit() == depth::TDepthUnit::Metres
            ? "Resolution: " + std::to_string(W * 100 / iw) + " x " + std::to_string(H * 100 / ih) +
                  " cm"
            : "Resolution: " + support::FloatToStrF(W * 100.0 / iw / 30.48, 15, 2) + " x " +
                  support::FloatToStrF(H * 100.0 / ih / 30.48, 15, 2) + " ft",
        "Samples: " + std::to_string(points)};
    for (int i = 0; i < 5; ++i) {
        labels[i].first->setText(Q(texts[i]));
        labels[i].second->setText(Q(texts[i]));
    }
}

void TForm1::PageChanged(int index) {
    QWidget *page = PageControl->widget(index);
    if (page == TabProject)
        SetStatus(0, "Add files to database and select mapping area");
    else if (page == TabInterpolator) {
        SetStatus(0, "Generate interpolated map");
        if (!InterpLoaded)
            Guarded([&] { UpdateInterpolatorSettings(); });
    } else if (page == TabHTBuilder)
        SetStatus(0, "Create a HT track of the ISO chart to upload");
    else if (page == TabAbout)
        SetStatus(0, "Thank you!");
}

void TForm1::btnActionInterpolateClick() {
    ShowPage(TabInterpolator, true);
    PageControl->setCurrentWidget(TabInterpolator);
}

void TForm1::keyPressEvent(QKeyEvent *e) {
    if (e->key() == Qt::Key_F11)
        ShowPage(TabDebug, true);
    QMainWindow::keyPressEvent(e);
}

void TForm1::resizeEvent(QResizeEvent *e) {
    QMainWindow::resizeEvent(e);
    if (FileLoaded && isVisible()) {
        Dialogs->Warning("Resizing is only allowed before a project is opened or tracks added.");
        RefreshInterpolatedImage(); // the box covered it
    }
}

void TForm1::FreezeSize() {
    setMinimumSize(size());
    setMaximumSize(size());
}

void TForm1::GPXImageResize() {
    if (Interpolating())
        return; // the window is frozen during a run; the masks are the workers'
    const int w = GPXImage->width(), h = GPXImage->height();
    Project.SetMaskSize(w, h);
    if (FileLoaded) {
        GPXView.Resize(mapview::TRect{0, 0, w, h});
        GPXView.Redraw(false);
        UpdateStatistics();
    }
}

} // namespace app
