// Undo and redo of the project's edits. An edit records each step as it makes it: an item
// taken out of its list (kept, with its place) or a flag changed. Undo puts every step back
// from the last to the first, so the document is again exactly what it was; redo makes the
// steps again. Items taken out stay alive in the history, so every pointer into them stays
// valid while they are out.
#pragma once

#include "model/GPX.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace model {

class TEdit {
  public:
    explicit TEdit(std::string name = {}) : Name(std::move(name)) {}
    std::string Name; // what the edit did, for the status bar

    // Takes item `index` out of `list` (a track list, a track, a segment, the waypoints...).
    template <class List> void Remove(List &list, int index) {
        auto held = std::make_shared<decltype(list.Extract(index))>(list.Extract(index));
        steps_.push_back({[&list, index, held] { list.Insert(index, std::move(*held)); },
                          [&list, index, held] { *held = list.Extract(index); }});
    }
    // Sets a point's spike flag.
    void SetFlag(TPoint4D2 &point, bool flagged) {
        const bool was = point.Flagged;
        point.Flagged = flagged;
        NoteFlag(point, was);
    }
    // Records a flag already changed from `was` to what it is now.
    void NoteFlag(TPoint4D2 &point, bool was) {
        const bool now = point.Flagged;
        if (now != was)
            steps_.push_back(
                {[&point, was] { point.Flagged = was; }, [&point, now] { point.Flagged = now; }});
    }

    bool Empty() const { return steps_.empty(); }
    std::size_t Steps() const { return steps_.size(); }
    void Undo() {
        for (auto it = steps_.rbegin(); it != steps_.rend(); ++it)
            it->undo();
    }
    void Redo() {
        for (auto &step : steps_)
            step.redo();
    }

  private:
    struct Step {
        std::function<void()> undo, redo;
    };
    std::vector<Step> steps_;
};

class TEditHistory {
  public:
    // A made edit joins the history; what was undone before can no longer be redone.
    void Push(TEdit edit) {
        if (edit.Empty())
            return;
        done_.push_back(std::move(edit));
        undone_.clear();
    }
    bool CanUndo() const { return !done_.empty(); }
    bool CanRedo() const { return !undone_.empty(); }
    // Both return the edit's name ("" when there was nothing to undo or redo).
    std::string Undo() {
        if (done_.empty())
            return {};
        done_.back().Undo();
        undone_.push_back(std::move(done_.back()));
        done_.pop_back();
        return undone_.back().Name;
    }
    std::string Redo() {
        if (undone_.empty())
            return {};
        undone_.back().Redo();
        done_.push_back(std::move(undone_.back()));
        undone_.pop_back();
        return done_.back().Name;
    }
    // After a save or "Start over" the history ends (the items it holds are released).
    void Clear() {
        done_.clear();
        undone_.clear();
    }

  private:
    std::vector<TEdit> done_, undone_;
};

} // namespace model
