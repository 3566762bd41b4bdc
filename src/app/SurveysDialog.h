// "Surveys": the files of soundings of the project with their dates, soundings and level
// offsets; "Estimate Levels" works the offsets out where the surveys' tracks cross.
#pragma once

#include "depth/Surveys.h"
#include "support/Dialogs.h"

#include <QDialog>

#include <vector>

class QPushButton;
class QTableWidget;

namespace app {

class TSurveysForm : public QDialog {
  public:
    // Edits a copy of the surveys; Surveys() is what "OK" leaves.
    TSurveysForm(const model::TGPX &project, std::vector<depth::TSurvey> surveys,
                 support::Dialogs &dialogs, support::LogLine log, QWidget *parent = nullptr);

    QTableWidget *tblSurveys;
    QPushButton *btnEstimate, *btnReference, *btnOK, *btnCancel;

    const std::vector<depth::TSurvey> &Surveys() const { return surveys_; }
    std::size_t Reference() const { return reference_; }
    void btnEstimateClick();
    void btnReferenceClick();

  private:
    void Fill();
    void TakeOffsets(); // the offset column into surveys_
    const model::TGPX &project_;
    std::vector<depth::TSurvey> surveys_;
    std::vector<depth::TLevelEstimate> estimates_;
    std::size_t reference_ = 0;
    support::Dialogs &dialogs_;
    support::LogLine log_;
};

} // namespace app
