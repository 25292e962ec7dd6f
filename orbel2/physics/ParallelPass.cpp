// The grid pass with worker threads. The pass is sequential by definition:
// a nudge moves two bodies before later pairs are tested, and the order of
// the visits that touch each body is what makes the bits. On the workers,
// against the bodies as the pass begins, each share of the bodies places
// its world vertices and lists its grid neighbours (every share from the
// filing alone). Then, when no body can stray out of the grid's margin,
// the rows are walked by strips at once (StripWalk.h); otherwise each share
// of the rows answers both tests for every pair of its rows whose circles
// meet (KnownPairs.h), and the calling thread walks the visits in order as
// WalkPairs always does, taking the answer of every pair that no nudge has
// moved yet and testing the others itself.
#include "orbel2/physics/WorkerPool.h"
#include "orbel2/physics/physicssystem.h"

#include <algorithm>
#include <cmath>

namespace orbel2 {

namespace {

// Tasks per worker: a few, so that a slow share does not hold up the run.
constexpr size_t TasksPerWorker = 4;

// The grid's margin on workers, as a share of the largest radius: wider
// than on one thread, so that a body in a crowded pile (some 16 pairs that
// may each nudge it half a unit) is proved to stay within it and the walk
// can go by strips (StripWalk.h), at the cost of somewhat larger cells.
constexpr double WorkersMarginShare = 0.375;

// Bodies sampled to place the cuts between strips and to choose the axis.
constexpr size_t CutSamples = 256;

// The most a nudge's rounding can add to how far it moves a body standing
// within Magnitude of the origin along both axes: a few units in the last
// place of the position.
double RoundingAt(double Magnitude)
{
    return 4.0 * (Magnitude * 0x1p-23 + 0x1p-126);
}

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

// ---------------------------------------------------------------- strips (StripWalk.h)

// One strip per thread. The cuts are the quantiles of a sample of the
// bodies' positions across the axis along which the list moves faster: a
// list laid out row by row then has every row cut into pieces that are
// walked at once, where cutting across the rows would leave each strip
// waiting for the whole of the one before. Any cut gives the same bits.
void TPhysics2D::ChooseStrips()
{
    const size_t count = Bodies.size();
    Strips.Count = static_cast<unsigned>(std::min<size_t>({Pool->Workers(), count, 255}));
    const size_t stride = std::max<size_t>(1, count / CutSamples);
    double alongX = 0.0, alongY = 0.0;
    std::vector<float>& cuts = Strips.Bounds;
    cuts.clear();
    TVector2D last = Bodies[0]->State.Position;
    for (size_t i = stride; i < count; i += stride) {
        const TVector2D p = Bodies[i]->State.Position;
        const double dx = std::fabs(double(p.x) - last.x), dy = std::fabs(double(p.y) - last.y);
        if (std::isfinite(dx) && std::isfinite(dy)) {
            alongX += dx;
            alongY += dy;
        }
        last = p;
    }
    Strips.AlongX = alongX >= alongY;
    for (size_t i = 0; i < count; i += stride) {
        const TVector2D p = Bodies[i]->State.Position;
        const float c = Strips.AlongX ? p.x : p.y;
        if (std::isfinite(c))
            cuts.push_back(c);
    }
    std::sort(cuts.begin(), cuts.end());
    std::vector<float> bounds;
    for (unsigned s = 1; s < Strips.Count; ++s)
        bounds.push_back(cuts.empty() ? 0.0f : cuts[cuts.size() * s / Strips.Count]);
    cuts = bounds;
    Strips.StripOf.resize(count);
    Strips.Border.resize(count);
    Strips.PositionInStrip.resize(count);
    Strips.Stray.assign(Tasks, 0.0);
    if (Strips.Rows.size() < Strips.Count)
        Strips.Rows.resize(Strips.Count);
    if (!Strips.Done || Strips.Waits.size() < Strips.Count)
        Strips.Allocate(Strips.Count);
}

// Whether no body of the task's share can stray beyond the margin in this
// pass (StripWalk.h), and which of them a row of another strip touches.
// Only a pair whose circles meet is nudged; while both bodies stay within
// the margin m of where they stood, that needs them to have stood closer
// than their radii and 2m, so only such neighbours are counted. If they add
// up to no more than m for every body, no body can be the first to stray.
void TPhysics2D::CheckStripsOn(size_t Task)
{
    const TTaskRange range = TaskRange(Bodies.size(), Tasks, Task);
    const double margin = Grid.MarginSize();
    double worst = 0.0;
    for (size_t x = range.Begin; x < range.End; ++x) {
        const TBody& body = *Bodies[x];
        const TVector2D p = body.State.Position;
        const uint8_t strip = Strips.StripOf[x];
        const double rounding = RoundingAt(std::max(std::fabs(double(p.x)), std::fabs(double(p.y))) + margin);
        bool border = false;
        double stray = 0.0;
        for (const uint32_t b : Grid.FiledNeighbours(x)) {
            const TBody& other = *Bodies[b];
            border = border || Strips.StripOf[b] != strip;
            const double dx = double(other.State.Position.x) - p.x, dy = double(other.State.Position.y) - p.y;
            const double reach = (double(body.Radius) + other.Radius + 2.0 * margin) * 1.0001 + 1e-3;
            if (!(dx * dx + dy * dy < reach * reach))
                continue;
            const float e = (body.Restitution + other.Restitution) / 2.0f;
            stray += 0.5 * (std::fabs(double(e)) + std::fabs(1.0 - double(e))) * 1.0001 + 2.0 * rounding;
        }
        Strips.Border[x] = border;
        worst = std::isnan(stray) ? INFINITY : std::max(worst, stray);
    }
    Strips.Stray[Task] = worst;
}

bool TPhysics2D::StripsAreSafe()
{
    if (!Grid.OfferedToAll().empty())
        return false;   // a body that every row may visit ties all the strips together
    Pool->Run(Tasks, [this](size_t task) { CheckStripsOn(task); });
    double worst = 0.0;
    for (size_t t = 0; t < Tasks; ++t)
        worst = std::max(worst, Strips.Stray[t]);
    Known.Stats.StrayToMargin = worst / Grid.MarginSize();
    if (!(worst <= Grid.MarginSize()))
        return false;
    for (unsigned s = 0; s < Strips.Count; ++s) {
        Strips.Rows[s].clear();
        Strips.Done[s].store(0, std::memory_order_relaxed);
        Strips.Waits[s] = 0;
    }
    for (size_t a = 0; a < Bodies.size(); ++a) {
        std::vector<uint32_t>& rows = Strips.Rows[Strips.StripOf[a]];
        Strips.PositionInStrip[a] = static_cast<uint32_t>(rows.size());
        rows.push_back(static_cast<uint32_t>(a));
    }
    return true;
}

// Row A touches A and its neighbours; each of those that a row of another
// strip touches too is waited for until every such earlier row is done.
void TPhysics2D::WaitBeforeRow(size_t A, unsigned Strip)
{
    bool waited = false;
    const auto waitFor = [&](size_t x) {
        if (!Strips.Border[x])
            return;
        const auto waitRow = [&](size_t r) {
            const unsigned other = Strips.StripOf[r];
            if (r >= A || other == Strip)
                return;
            const uint32_t needed = Strips.PositionInStrip[r] + 1;
            if (Strips.Done[other].load(std::memory_order_acquire) >= needed)
                return;
            waited = true;
            Strips.WaitUntil(Strip, other, needed);
        };
        waitRow(x);
        for (const uint32_t r : Grid.FiledNeighbours(x))
            waitRow(r);
    };
    waitFor(A);
    for (const uint32_t x : Grid.FiledNeighbours(A))
        waitFor(x);
    Strips.Waits[Strip] += waited;
}

// The rows of one strip in list order, each visiting A's neighbours in
// ascending order, as the grid's answers would list them: with no body
// wide or escaped, an answer is the filed neighbours alone.
void TPhysics2D::WalkStrip(size_t Strip)
{
    const std::vector<uint32_t>& rows = Strips.Rows[Strip];
    for (size_t position = 0; position < rows.size(); ++position) {
        const size_t a = rows[position];
        WaitBeforeRow(a, static_cast<unsigned>(Strip));
        TBody& first = *Bodies[a];
        for (const uint32_t b : Grid.FiledNeighbours(a)) {
            if (PassCirclesMeet(first, *Bodies[b]))
                TouchPair(first, *Bodies[b]);
        }
        Strips.FinishRow(static_cast<unsigned>(Strip), static_cast<uint32_t>(position + 1));
    }
}

}   // namespace orbel2
