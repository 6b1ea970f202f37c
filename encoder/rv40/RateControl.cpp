#include "RateControl.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "tables/Rv40Tables.h"

namespace quenlar::rv40 {

namespace {

constexpr int kMinQuant = 1;
constexpr int kMaxQuant = 31;
// A key picture's step is this much finer than that of the P pictures around it (three
// quantisers): the P pictures of its run are predicted from it.
constexpr double kKeyStepRatio = 1.4;
// Costlier P pictures get coarser steps, as cost^(1 - this): a little more of the bits where the
// picture is hard, not in proportion.
constexpr double kCostCompression = 0.8;
// A P picture's quantiser is at most this much finer than the picture's before it (a key
// picture's counted as kKeyQuantOffset coarser): a P picture after coarser ones spends its bits
// mending their loss rather than on its own change, and the prediction, which knows only the
// change, misses by many times. Coarser costs nothing of the kind, and may come faster.
constexpr int kMaxQuantFall = 2;
constexpr int kMaxQuantRise = 4;
constexpr int kKeyQuantOffset = 3;
// A B picture's step is this much coarser than the P pictures' (about eight quantisers: no
// picture is predicted from it), and before any is coded it is predicted at this share of a P
// picture's bits for the same cost and step. With B pictures' decisions weighing bits at their
// own step, 2 measured best (on film 1.25 gave B pictures +0.12 dB, 1.5 +0.33, 2 +0.45, 2.6
// +0.41); with them weighing bits as a finer step would (FrameCoder), 2.5 gives +0.2 dB more,
// and coarser ones gain no more than 0.03 for pictures that swing further from their neighbours.
constexpr double kBidirStepRatio = 2.5;
constexpr double kStartBidirShare = 0.5;
// Every picture takes about this much however little changed (its header, skipped macroblocks).
constexpr double kFloorBitsPerPixel = 0.5 / 256;
// A picture's bits move the prediction at most this many times.
constexpr double kMaxLearnt = 4;
// How bits fall with the step: measured on film from quantiser 10 to 30 (key pictures 0.8 to
// 1.3, P pictures 1.2 to 1.7).
constexpr double kIntraExponent = 1.0;
constexpr double kInterExponent = 1.5;
// What the first key picture may measure: noise falls fastest, at about 2.3.
constexpr double kMinExponent = 0.6;
constexpr double kMaxExponent = 3;
// Before any picture is coded: a key picture of film takes about 0.4 bits a pixel at quantiser
// 18, and a P picture of a run this share of a key picture's bits for the same cost.
constexpr int kStartQuant = 18;
constexpr double kStartIntraBitsPerPixel = 0.4;
constexpr double kStartInterShare = 0.75;
// Each coded picture moves the prediction of its kind this far towards what it measured.
constexpr double kIntraLearning = 0.6;
constexpr double kInterLearning = 0.4;
// A run settles at most this share of its own budget of what the instance owes or is owed.
constexpr double kMaxSettling = 0.4;
// A key picture takes at most this share of its run's budget: when the rest of a short run
// is predicted to cost next to nothing, the plan would otherwise give the key picture nearly
// all of it, and any P picture that costs more than predicted overshoots the run.
constexpr double kMaxKeyShare = 0.5;
// Planned pictures keep this far below the size limit; the plan is a prediction.
constexpr double kSizeMargin = 0.7;
// The first key picture is coded again, at most this often, when its plan was this far off.
constexpr std::size_t kFirstKeyRetries = 2;
constexpr double kFirstKeyTolerance = 0.25;

double Step(int quant)
{
    return tables::kQuantScale[quant];
}

int NearestQuantiser(double step)
{
    int best = kMinQuant;
    for (int q = kMinQuant; q <= kMaxQuant; ++q) {
        if (std::abs(std::log(Step(q) / step)) < std::abs(std::log(Step(best) / step)))
            best = q;
    }
    return best;
}

}  // namespace

double RateControl::Model::Bits(double cost, double step) const
{
    return floor + k * cost / std::pow(step, exponent);
}

void RateControl::Model::Learn(double cost, double step, double bits, double weight)
{
    // A picture of little more than its floor says nothing of the rest.
    if (bits < 2 * floor)
        return;
    double measured = (bits - floor) * std::pow(step, exponent) / cost;
    if (learnt)
        measured = std::clamp(measured, k / kMaxLearnt, k * kMaxLearnt);
    k = learnt ? std::exp(std::log(k) + weight * (std::log(measured) - std::log(k))) : measured;
    learnt = true;
}

RateControl::RateControl(double bitRate, double frameRate, int maxFrameBits, int pixels)
    : frameBits_(bitRate / frameRate), maxFrameBits_(maxFrameBits), pixels_(pixels)
{
    intra_.exponent = kIntraExponent;
    inter_.exponent = bidir_.exponent = kInterExponent;
    intra_.floor = inter_.floor = bidir_.floor = kFloorBitsPerPixel * pixels;
}

void RateControl::BeginRun(std::vector<double> costs, std::vector<bool> bidirectional)
{
    costs_ = std::move(costs);
    bidirectional_ = std::move(bidirectional);
    next_ = 0;
    runSpent_ = 0;
    if (costs_.empty())
        return;
    if (!intra_.learnt)
        intra_.k = pixels_ * kStartIntraBitsPerPixel * std::pow(Step(kStartQuant), intra_.exponent) / costs_[0];
    if (!inter_.learnt)
        GuessInter();
    // The P pictures' costs relative to their mean, so that the scale is a step.
    if (costs_.size() > 1) {
        const double mean = std::accumulate(costs_.begin() + 1, costs_.end(), 0.0) / static_cast<double>(costs_.size() - 1);
        relative_.resize(costs_.size());
        for (std::size_t i = 1; i < costs_.size(); ++i)
            relative_[i] = std::pow(costs_[i] / mean, 1 - kCostCompression) * (IsB(i) ? kBidirStepRatio : 1);
    }
    const double share = static_cast<double>(costs_.size()) * frameBits_;
    runBudget_ = share - std::clamp(owed_, -kMaxSettling * share, kMaxSettling * share);
}

void RateControl::GuessInter()
{
    inter_.k = intra_.k * kStartInterShare * std::pow(Step(kStartQuant), inter_.exponent - intra_.exponent);
    GuessBidir();
}

void RateControl::GuessBidir()
{
    if (!bidir_.learnt)
        bidir_.k = inter_.k * kStartBidirShare;
}

double RateControl::StepFor(std::size_t picture, double scale) const
{
    const double step = picture == 0 ? scale / kKeyStepRatio : scale * relative_[picture];
    return std::clamp(step, Step(kMinQuant), Step(kMaxQuant));
}

int RateControl::QuantiserFor(std::size_t picture, double scale) const
{
    return NearestQuantiser(StepFor(picture, scale));
}

double RateControl::Predicted(std::size_t picture, int quant) const
{
    return ModelOf(picture).Bits(costs_[picture], Step(quant));
}

double RateControl::Scale(double budget) const
{
    // Bits at the scale e^l: each picture's k cost / step^g over its floor, with step = scale *
    // relative unless that leaves the quantisers' range. Unclamped, a term is its weight
    // k cost relative^-g times e^(-g l), so the halving below takes two powers a step, not one
    // a picture.
    struct Term {
        double low;  // below this l the step is the finest
        double high; // above it the coarsest
        double weight;
        double floor;
        double atLow;
        double atHigh;
        bool key;
    };
    const double logMin = std::log(Step(kMinQuant)), logMax = std::log(Step(kMaxQuant));
    std::vector<Term> terms;
    terms.reserve(costs_.size() - next_);
    for (std::size_t i = next_; i < costs_.size(); ++i) {
        const Model& m = ModelOf(i);
        const double logRelative = i == 0 ? -std::log(kKeyStepRatio) : std::log(relative_[i]);
        terms.push_back({logMin - logRelative, logMax - logRelative,
                         m.k * costs_[i] * std::exp(-m.exponent * logRelative), m.floor,
                         m.Bits(costs_[i], Step(kMinQuant)), m.Bits(costs_[i], Step(kMaxQuant)), i == 0});
    }
    auto bits = [&](double l) {
        const double fall[2] = {std::exp(-inter_.exponent * l), std::exp(-intra_.exponent * l)};
        double sum = 0;
        for (const Term& t : terms)
            sum += l < t.low ? t.atLow : l > t.high ? t.atHigh : t.floor + t.weight * fall[t.key];
        return sum;
    };
    // Bits fall as the scale grows; halve the range between the finest and coarsest steps.
    double low = std::log(Step(kMinQuant) / 2);
    double high = std::log(Step(kMaxQuant) * kKeyStepRatio * 4);
    for (int i = 0; i < 40; ++i) {
        const double middle = (low + high) / 2;
        if (bits(middle) > budget)
            low = middle;
        else
            high = middle;
    }
    return std::exp(high);
}

// The first key picture calibrates the key pictures' prediction from what it measured alone,
// and, once coded at two quantisers, how fast its bits fall with the step.
std::optional<int> RateControl::FirstKeyAgain(int quant, int bits)
{
    const double planned = Predicted(0, quant);
    firstKeyTries_.push_back({quant, static_cast<double>(bits)});
    if (firstKeyTries_.size() >= 2) {
        const Try& a = firstKeyTries_[firstKeyTries_.size() - 2];
        const Try& b = firstKeyTries_.back();
        if (a.quant != b.quant && a.bits > intra_.floor && b.bits > intra_.floor) {
            intra_.exponent = std::clamp(std::log((a.bits - intra_.floor) / (b.bits - intra_.floor)) /
                                             std::log(Step(b.quant) / Step(a.quant)),
                                         kMinExponent, kMaxExponent);
        }
    }
    intra_.learnt = false;
    intra_.Learn(costs_[0], Step(quant), bits, 1);
    if (!inter_.learnt)
        GuessInter();
    const int again = Quantiser();
    if (firstKeyTries_.size() <= kFirstKeyRetries && again != quant &&
        std::abs(std::log(bits / planned)) > std::log(1 + kFirstKeyTolerance))
        return again;
    firstKeyDone_ = true;
    return std::nullopt;
}

int RateControl::Quantiser()
{
    if (next_ >= costs_.size())
        return kMaxQuant;
    int quant = QuantiserFor(next_, Scale(runBudget_ - runSpent_));
    if (next_ > 0 && lastQuant_ >= 0) {
        // A B picture is never finer than the reference coded before it: what its prediction
        // learnt at coarse steps misses many times at fine ones, and at a run's end, where little
        // is left to plan, the budget left over went to the last B picture (on film, one took
        // the bits of a key picture and the file came out 6 % over its rate).
        quant = IsB(next_) ? std::max(quant, lastQuant_)
                           : std::clamp(quant, lastQuant_ - kMaxQuantFall, lastQuant_ + kMaxQuantRise);
    }
    const double limit = std::min(kSizeMargin * maxFrameBits_,
                                  next_ == 0 && costs_.size() > 1 ? kMaxKeyShare * runBudget_ : HUGE_VAL);
    while (quant < kMaxQuant && Predicted(next_, quant) > limit)
        ++quant;
    return quant;
}

std::optional<int> RateControl::Coded(bool key, int quant, int bits)
{
    if (next_ >= costs_.size())
        return std::nullopt;
    if (bits > maxFrameBits_ && quant < kMaxQuant) {
        // Coarse enough for the limit by the prediction, and at least one quantiser coarser.
        const double exponent = key ? intra_.exponent : inter_.exponent;
        const double step = Step(quant) * std::pow(bits / (kSizeMargin * maxFrameBits_), 1 / exponent);
        return std::clamp(NearestQuantiser(step), quant + 1, kMaxQuant);
    }
    // A P picture coded as a key picture to fit was not what its cost measured.
    if (key == (next_ == 0)) {
        Model& model = key ? intra_ : IsB(next_) ? bidir_ : inter_;
        if (key && !firstKeyDone_) {
            if (const std::optional<int> again = FirstKeyAgain(quant, bits))
                return again;
        } else {
            model.Learn(costs_[next_], Step(quant), bits, key ? kIntraLearning : kInterLearning);
            GuessBidir();
        }
    }
    if (!IsB(next_))
        lastQuant_ = key ? std::min(quant + kKeyQuantOffset, kMaxQuant) : quant;
    runSpent_ += bits;
    owed_ += bits - frameBits_;
    ++next_;
    return std::nullopt;
}

}  // namespace quenlar::rv40
