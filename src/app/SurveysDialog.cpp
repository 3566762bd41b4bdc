#include "app/SurveysDialog.h"

#include "support/DateTime.h"
#include "support/NumText.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace app {

namespace {

enum Column { cFile, cDates, cSoundings, cOffset, cEstimate, cCrossings, cColumns };

QString Q(const std::string &s) {
    return QString::fromStdString(s);
}

std::string Signed(double cm) {
    return (cm >= 0 ? "+" : "") + support::FloatToStrF(cm, 15, 1);
}

std::string Dates(const depth::TSurvey &s) {
    if (s.FirstTime == 0)
        return "no times";
    const std::string first = support::DateTimeToGPXTime(s.FirstTime).substr(0, 10);
    const std::string last = support::DateTimeToGPXTime(s.LastTime).substr(0, 10);
    return first == last ? first : first + " - " + last;
}

} // namespace

TSurveysForm::TSurveysForm(const model::TGPX &project, std::vector<depth::TSurvey> surveys,
                           support::Dialogs &dialogs, support::LogLine log, QWidget *parent)
    : QDialog(parent), project_(project), surveys_(std::move(surveys)), dialogs_(dialogs),
      log_(std::move(log)) {
    setObjectName("SurveysForm");
    setWindowTitle("Surveys");
    resize(720, 300);
    auto *layout = new QVBoxLayout(this);
    tblSurveys = new QTableWidget(0, cColumns);
    tblSurveys->setObjectName("tblSurveys");
    tblSurveys->setHorizontalHeaderLabels(
        {"File", "Dates", "Soundings", "Offset [cm]", "Estimated [cm]", "Crossings"});
    tblSurveys->horizontalHeader()->setSectionResizeMode(cFile, QHeaderView::Stretch);
    tblSurveys->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblSurveys->setSelectionMode(QAbstractItemView::SingleSelection);
    layout->addWidget(tblSurveys, 1);
    auto *row = new QHBoxLayout;
    btnEstimate = new QPushButton("Estimate Levels");
    btnEstimate->setObjectName("btnEstimate");
    btnEstimate->setToolTip(
        "Estimate each survey's level offset where its tracks cross those of the others");
    btnReference = new QPushButton("Reference");
    btnReference->setObjectName("btnReference");
    btnReference->setToolTip(
        "The selected survey keeps its depths; the others are brought to its level");
    btnOK = new QPushButton("OK");
    btnCancel = new QPushButton("Cancel");
    for (QPushButton *b : {btnEstimate, btnReference})
        row->addWidget(b);
    row->addStretch(1);
    row->addWidget(btnOK);
    row->addWidget(btnCancel);
    layout->addLayout(row);
    btnOK->setDefault(true);
    connect(btnEstimate, &QPushButton::clicked, this, [this] { btnEstimateClick(); });
    connect(btnReference, &QPushButton::clicked, this, [this] { btnReferenceClick(); });
    connect(btnOK, &QPushButton::clicked, this, [this] {
        TakeOffsets();
        accept();
    });
    connect(btnCancel, &QPushButton::clicked, this, [this] { reject(); });
    Fill();
}

void TSurveysForm::Fill() {
    const QSignalBlocker block(tblSurveys);
    tblSurveys->setRowCount(static_cast<int>(surveys_.size()));
    for (std::size_t k = 0; k < surveys_.size(); ++k) {
        const depth::TSurvey &s = surveys_[k];
        const int r = static_cast<int>(k);
        auto set = [&](int column, const std::string &text, bool editable = false) {
            auto *item = new QTableWidgetItem(Q(text));
            if (!editable)
                item->setFlags(item->flags() & ~Qt::ItemIsEditable);
            tblSurveys->setItem(r, column, item);
        };
        set(cFile, s.Name + (k == reference_ ? "  (reference)" : ""));
        set(cDates, Dates(s));
        set(cSoundings, std::to_string(s.Soundings));
        set(cOffset, support::FloatToStrF(s.OffsetCm, 15, 1), true);
        if (k < estimates_.size() && estimates_[k].Connected) {
            set(cEstimate, Signed(estimates_[k].OffsetCm) + " ± " +
                               support::FloatToStrF(estimates_[k].SigmaCm, 15, 1));
            set(cCrossings, std::to_string(estimates_[k].Crossings));
        } else {
            set(cEstimate, k < estimates_.size() ? "no crossings" : "");
            set(cCrossings, "");
        }
    }
}

void TSurveysForm::TakeOffsets() {
    for (std::size_t k = 0; k < surveys_.size(); ++k) {
        const std::string text =
            tblSurveys->item(static_cast<int>(k), cOffset)->text().toStdString();
        if (const std::optional<double> v = support::TryStrToFloat(text))
            surveys_[k].OffsetCm = *v;
        else
            dialogs_.Error("\"" + text + "\" is not a valid offset for " + surveys_[k].Name +
                           "; it stays " + support::FloatToStrF(surveys_[k].OffsetCm, 15, 1) +
                           " cm.");
    }
}

void TSurveysForm::btnReferenceClick() {
    const int row = tblSurveys->currentRow();
    if (row < 0 || static_cast<std::size_t>(row) >= surveys_.size())
        return;
    TakeOffsets();
    reference_ = static_cast<std::size_t>(row);
    estimates_.clear();
    Fill();
}

void TSurveysForm::btnEstimateClick() {
    TakeOffsets();
    estimates_ = depth::EstimateLevelOffsets(project_, surveys_, reference_, {}, log_);
    Fill();
    const bool any =
        std::any_of(estimates_.begin(), estimates_.end(), [&](const depth::TLevelEstimate &e) {
            return e.Connected && &e != &estimates_[reference_];
        });
    if (!any) {
        dialogs_.Information(
            "No survey crosses another on flat enough bottom: the offsets stay as they are.");
        return;
    }
    if (dialogs_.AskYesNo("Set the offsets to the estimated ones?")) {
        depth::ApplyLevelEstimates(surveys_, estimates_);
        Fill();
    }
}

} // namespace app
