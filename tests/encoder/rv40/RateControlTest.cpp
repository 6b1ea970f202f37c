#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "rv40/RateControl.h"
#include "rv40/tables/Rv40Tables.h"

namespace quenlar::rv40 {
namespace {

// A coder whose pictures take bits as a power of the step, B pictures falling far faster than
// P pictures towards fine steps (as film's do: they are mostly skipped at coarse steps and
// coded at fine ones), so that what the rate control learns at one step misleads it at another;
// its P pictures cost far less than the rate control first guesses, so that the plan's steps
// fall faster than P pictures may follow.
struct Picture {
    bool key;
    bool bidirectional;
    double cost;
};

double TrueBits(const Picture& p, int quant, int pixels)
{
    const double step = tables::kQuantScale[quant];
    const double floor = pixels / 512.0;
    if (p.key)
        return floor + 144 * p.cost / step;
    if (p.bidirectional)
        return floor + 1.2e7 * p.cost / std::pow(step, 2.5);
    return floor + 300 * p.cost / std::pow(step, 1.5);
}

// One run in decoding order, I P B B P B B ... P B B, costs swinging picture to picture; the B
// pictures' costs are those the plan sees, some of them far costlier than they look.
struct RunResult {
    double bits = 0;
    double budget = 0;
    int finerB = 0;  // B pictures coded finer than the reference before them
};

RunResult CodeRun(double bitRate, int pictures, int pixels)
{
    std::vector<Picture> run;
    std::vector<double> costs;
    std::vector<bool> bidirectional;
    for (int i = 0; i < pictures; ++i) {
        const bool key = i == 0;
        const bool b = !key && i % 3 != 1;
        const double cost = (key ? 2e5 : b ? 2e3 : 2e4) * (1 + 0.5 * std::sin(i * 0.7));
        run.push_back({key, b, b && i % 10 == 5 ? 8 * cost : cost});
        costs.push_back(cost);
        bidirectional.push_back(b);
    }
    RateControl rate(bitRate, 25, 8 * 64 * 1024, pixels);
    rate.BeginRun(costs, bidirectional);
    RunResult result;
    result.budget = bitRate / 25 * pictures;
    int referenceQuant = 0;
    for (const Picture& p : run) {
        int quant = rate.Quantiser();
        for (;;) {
            const auto again = rate.Coded(p.key, quant, static_cast<int>(TrueBits(p, quant, pixels)));
            if (!again)
                break;
            quant = *again;
        }
        result.bits += TrueBits(p, quant, pixels);
        if (p.bidirectional)
            result.finerB += quant < referenceQuant;
        else
            referenceQuant = quant;
    }
    return result;
}

TEST(RateControl, ARunWithBPicturesKeepsItsBudgetAndNoBPictureIsFinerThanItsReference)
{
    // The first run of a file, a short one and a long one, at a low and a high rate.
    for (const double bitRate : {250e3, 400e3, 950e3})
        for (const int pictures : {100, 49, 250}) {
            SCOPED_TRACE(std::to_string(bitRate) + " bit/s, " + std::to_string(pictures) + " pictures");
            const RunResult r = CodeRun(bitRate, pictures, 520 * 288);
            EXPECT_NEAR(r.bits, r.budget, 0.03 * r.budget);
            EXPECT_EQ(r.finerB, 0);
        }
}

}  // namespace
}  // namespace quenlar::rv40
