// The grid pass with worker threads. The pass itself is sequential: a nudge
// moves two bodies before later pairs are tested, and the all-pairs order
// of the visits is what makes the bits. What can be done ahead of it is
// done on the workers, against the bodies as the pass begins:
//   1. each share of the bodies places its world vertices and lists its
//      grid neighbours (every share from the filing alone);
//   2. each share of the rows answers both tests for every pair of its row
//      whose circles meet (KnownPairs.h).
// Then the calling thread walks the visits in order, as WalkPairs always
// does, taking the answer of every pair that no nudge has moved yet and
// testing the others itself.
#include "physics/WorkerPool.h"
#include "physics/physicssystem.h"

#include <algorithm>

namespace {

// Tasks per worker: a few, so that a slow share does not hold up the run.
constexpr size_t TasksPerWorker = 4;

// The grid's margin on workers, as a share of the largest radius: wider
// than on one thread, so that a body in a crowded pile (some 16 pairs that
// may each nudge it half a unit) is proved to stay within it and the walk
// can go by strips (StripWalk.h), at the cost of somewhat larger cells.
constexpr double WorkersMarginShare = 0.375;

// A row's answers in ascending partner order; they are already, unless
// bodies offered to all were added after the filed neighbours.
void SortAnswers(TKnownPairs::TAnswer* First, TKnownPairs::TAnswer* Last)
{
    std::sort(First, Last, [](const TKnownPairs::TAnswer& A, const TKnownPairs::TAnswer& B) { return A.B < B.B; });
}

}   // namespace

TPhysics2D::TPhysics2D() = default;
TPhysics2D::~TPhysics2D() = default;

void TPhysics2D::SetWorkerCount(unsigned Count)
{
    if (Count <= 1) {
        Pool.reset();
        return;
    }
    if (!Pool)
        Pool = std::make_unique<TWorkerPool>();
    Pool->SetWorkers(Count);
    if (Pool->Workers() <= 1)
        Pool.reset();   // no thread could be started
}

unsigned TPhysics2D::WorkerCount() const
{
    return Pool ? Pool->Workers() : 1;
}

void TPhysics2D::CollideOnWorkers()
{
    const size_t count = Bodies.size();
    Tasks = std::min(count, TasksPerWorker * Pool->Workers());
    if (TaskScratch.size() < Tasks)
        TaskScratch.resize(Tasks);
    Grid.File(Bodies, Tasks, WorkersMarginShare);
    Known.Begin(count, Tasks);
    ChooseStrips();
    Pool->Run(Tasks, [this](size_t task) { PrepareOnWorkers(task); });
    Grid.JoinNeighbourLists();
    if (StripsAreSafe()) {
        Pool->Run(Strips.Count, [this](size_t strip) { WalkStrip(strip); });
        Known.Stats.Strips = Strips.Count;
        for (unsigned s = 0; s < Strips.Count; ++s)
            Known.Stats.RowsWaited += Strips.Waits[s];
        return;
    }
    Pool->Run(Tasks, [this](size_t task) { AnswerOnWorkers(task, TaskScratch[task]); });
    Known.Ready = true;
    WalkPairs();
    Known.Ready = false;
}

// A body listed twice is prepared once, under its first entry (the one the
// grid filed it under), so that no two tasks write the same body.
void TPhysics2D::PrepareOnWorkers(size_t Task)
{
    Grid.ListNeighboursOf(Task);
    const TTaskRange range = TaskRange(Bodies.size(), Tasks, Task);
    for (size_t i = range.Begin; i < range.End; ++i) {
        TBody& body = *Bodies[i];
        Known.NoteStart(i, body.State.Position);
        Strips.StripOf[i] = static_cast<uint8_t>(Strips.StripAt(Strips.AlongX ? body.State.Position.x : body.State.Position.y));
        if (body.GridSlot != i)
            continue;
        body.Collided = false;
        body.WorldVerticesCurrent = false;
        body.RefreshWorldVertices();
    }
}

// Every pair of the share's rows that can pass the circle test: the filed
// neighbours and the bodies offered to all, or every body for a row whose
// body is not filed. The tests are the walk's own, on the same vertices.
void TPhysics2D::AnswerOnWorkers(size_t Task, std::vector<uint32_t>& Scratch)
{
    std::vector<TKnownPairs::TAnswer>& answers = Known.TaskAnswers(Task);
    answers.clear();
    const size_t count = Bodies.size();
    const TTaskRange range = TaskRange(count, Tasks, Task);
    const auto answer = [&](const TBody& A, size_t b) {
        const TBody& B = *Bodies[b];
        if (!PassCirclesMeet(A, B))
            return;
        TKnownPairs::TAnswer entry{static_cast<uint32_t>(b), 0, TVector2D{0.0f, 0.0f}};
        entry.Crossing = FindEdgeCrossing(A, B, entry.Point) ? 1 : 0;
        answers.push_back(entry);
    };
    for (size_t a = range.Begin; a < range.End; ++a) {
        const TBody& A = *Bodies[a];
        const size_t first = answers.size();
        if (Grid.IsFiled(a)) {
            for (const uint32_t b : Grid.FiledNeighbours(a))
                answer(A, b);
            Scratch.assign(Grid.OfferedToAll().begin(), Grid.OfferedToAll().end());
            for (const uint32_t b : Scratch)
                answer(A, b);
            if (!Scratch.empty())
                SortAnswers(answers.data() + first, answers.data() + answers.size());
        } else {
            for (size_t b = 0; b < count; ++b) {
                if (b != a)
                    answer(A, b);
            }
        }
        Known.SetRow(a, Task, first, answers.size());
    }
}
