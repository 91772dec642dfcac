// Convolution of float and complex float data and their mixed pairs (module kvoconvs).
#include "adaptive/convframe.h"
#include "kvo.h"

namespace {

constexpr const char* kModule = "kvoconvs";
namespace conv = kvo::conv;

namespace tables = kvo::conv::tables;

// Thresholds {lower, upper, T}, then the cost kinds of the long and short operands and of the
// product, and whether the long operand is real.
constexpr conv::Rules kRulesR{
    {9, 111, tables::kS}, &conv::kCostS, &conv::kCostS, &conv::kCostS, true};
constexpr conv::Rules kRulesC{
    {5, 49, tables::kC}, &conv::kCostC, &conv::kCostC, &conv::kCostC, false};
constexpr conv::Rules kRulesRC{
    {7, 99, tables::kSC}, &conv::kCostS, &conv::kCostC, &conv::kCostC, true};
constexpr conv::Rules kRulesCR{
    {5, 99, tables::kCS}, &conv::kCostC, &conv::kCostS, &conv::kCostC, false};

}  // namespace

#define RE float
#define CPX ComplexFloat
#define KVO_R(op) kvos##op
#define KVO_C(op) kvoc##op
#define KVO_RC(op) kvosc##op
#define KVO_CR(op) kvocs##op
#include "adaptive/convmembers.inc"
