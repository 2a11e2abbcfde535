// What the aligning pass tells about the two clocks: a drift only when it shows in the
// pairs, not a rate fitted into the jitter of whole-second capture times.
#include "ordering_fixture.h"

#include <cmath>
#include <cstdint>

namespace {

struct DriftCase
{
    const char *name;
    int shots;
    int longestInterval; // seconds between shots: 4 .. this, irregular
    double drift;        // seconds the right clock gains per second
    bool told;           // the status tells a drift
};

class ClockFinding : public OrderingFixture
{
protected:
    // Shots of both cameras at irregular intervals; the right clock is 47 s ahead plus
    // drift, each camera writes whole seconds and its shutter lags up to 0.9 s.
    void loadSession(const DriftCase &c)
    {
        std::uint32_t seed = 12345;
        const auto next = [&seed](int range) {
            seed = seed * 1664525u + 1013904223u;
            return int((seed >> 8) % std::uint32_t(range));
        };
        double t = 0;
        for (int i = 0; i < c.shots; ++i) {
            t += 4 + next(c.longestInterval - 3);
            const double leftLag = next(10) / 10.0, rightLag = next(10) / 10.0;
            const double l = std::floor(t + leftLag);
            const double r = std::floor(t + rightLag + 47 + c.drift * t);
            single(left, QStringLiteral("L%1.jpg").arg(i), at(10, 0, l));
            single(right, QStringLiteral("R%1.jpg").arg(i), at(10, 0, r));
        }
    }
};

} // namespace

TEST_F(ClockFinding, ADriftIsToldOnlyWhenThePairsShowIt)
{
    const DriftCase cases[] = {
        {"one offset for half an hour", 40, 80, 0, false},
        {"one offset for four hours", 120, 240, 0, false},
        {"a drift of 0.3 s over the session", 60, 120, 0.3 / 3600, false},
        {"a drift of 8 s over two hours", 80, 180, 8.0 / 7200, true},
    };
    pass.SetPairingMethod(PairingMethod::Alignment);
    for (const DriftCase &c : cases) {
        SCOPED_TRACE(c.name);
        left.Clear();
        right.Clear();
        loadSession(c);
        pass.ArrangeLists(OrderingMode::AssignAll);
        const TPairingReport &report = pass.LastReport();
        ASSERT_TRUE(report.aligned);
        EXPECT_GE(report.pairs, c.shots - 1);
        const bool told = report.clockFindings.filter(QStringLiteral(" a day ")).size() == 1;
        EXPECT_EQ(told, c.told) << qPrintable(report.clockFindings.join(u'|'));
    }
}
