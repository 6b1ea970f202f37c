// Chooses one quantiser a picture for an encoder instance so that what it codes keeps to a bit
// rate, with no picture over a size limit. It plans a run of pictures (a key picture and the P
// pictures after it) at once from their costs (Lookahead): every picture gets a quantiser from one
// scale, finer for the key picture, a little coarser for costlier pictures, and the scale is
// chosen so that the run's predicted bits meet its budget; a P picture's quantiser falls slowly
// from the one before it. Bits are predicted per kind of picture as floor + k * cost / step^g; k
// is learnt from the pictures coded, and the rest of the run is planned again after each one. A
// run's budget is its share of the rate, less what the instance spent beyond its share before.
// The first key picture, about which nothing is known yet, may be coded up to three times. B
// pictures, planned in decoding order among the others, get steps a fixed ratio coarser than the
// P pictures' and a prediction of their own, and do not steer the P pictures' quantisers.
// Used on one thread.
#pragma once

#include <optional>
#include <vector>

namespace quenlar::rv40 {

class RateControl {
public:
    // bitRate: bit/s of coded pictures; frameRate: pictures a second; maxFrameBits: the most one
    // picture may take; pixels: of a picture.
    RateControl(double bitRate, double frameRate, int maxFrameBits, int pixels);

    // The next run: its pictures' costs in decoding order, the first a key picture, and which of
    // them are B pictures (none when empty).
    void BeginRun(std::vector<double> costs, std::vector<bool> bidirectional = {});
    // The quantiser for the run's next picture.
    int Quantiser();
    // The next picture was coded as a key picture or not, at `quant`, in `bits`. Returns the
    // quantiser at which to code it again, as a key picture, when it must be: when it outgrew
    // the size limit, or when it is the first key picture and came out far from its plan (the
    // prediction knows nothing of the picture before it). Otherwise the picture is done.
    std::optional<int> Coded(bool key, int quant, int bits);

private:
    struct Model {
        double k = 0;
        double exponent = 1;
        double floor = 0;
        bool learnt = false;
        double Bits(double cost, double step) const;
        void Learn(double cost, double step, double bits, double weight);
    };

    // Before any P picture is coded, from what key pictures measured.
    void GuessInter();
    // Before any B picture is coded, from what P pictures measured.
    void GuessBidir();
    std::optional<int> FirstKeyAgain(int quant, int bits);
    // The step scale for pictures next..end so that their predicted bits meet `budget`.
    double Scale(double budget) const;
    double StepFor(std::size_t picture, double scale) const;
    int QuantiserFor(std::size_t picture, double scale) const;
    double Predicted(std::size_t picture, int quant) const;
    bool IsB(std::size_t picture) const { return picture < bidirectional_.size() && bidirectional_[picture]; }
    const Model& ModelOf(std::size_t picture) const { return picture == 0 ? intra_ : IsB(picture) ? bidir_ : inter_; }

    double frameBits_;
    int maxFrameBits_;
    int pixels_;
    Model intra_;
    Model inter_;
    Model bidir_;
    std::vector<double> costs_;
    std::vector<bool> bidirectional_;
    std::vector<double> relative_;  // the P pictures' steps relative to the scale
    std::size_t next_ = 0;
    double runBudget_ = 0;
    double runSpent_ = 0;
    double owed_ = 0;  // bits spent beyond the instance's share so far
    int lastQuant_ = -1;  // of the last picture, as a P picture's
    struct Try {
        int quant;
        double bits;
    };
    std::vector<Try> firstKeyTries_;
    bool firstKeyDone_ = false;
};

}  // namespace quenlar::rv40
