// Convolution of double and complex double data and their mixed pairs (module kvoconvd).
#include "adaptive/convframe.h"
#include "kvo.h"

namespace {

constexpr const char* kModule = "kvoconvd";
namespace conv = kvo::conv;

namespace tables = kvo::conv::tables;

// Thresholds {lower, upper, T}, then the cost kinds of the long and short operands and of the
// product, and whether the long operand is real.
constexpr conv::Rules kRulesR{
    {5, 109, tables::kD}, &conv::kCostD, &conv::kCostD, &conv::kCostD, true};
constexpr conv::Rules kRulesC{
    {3, 60, tables::kZ}, &conv::kCostZ, &conv::kCostZ, &conv::kCostZ, false};
constexpr conv::Rules kRulesRC{
    {3, 111, tables::kDZ}, &conv::kCostD, &conv::kCostZ, &conv::kCostZ, true};
constexpr conv::Rules kRulesCR{
    {3, 107, tables::kZD}, &conv::kCostZ, &conv::kCostD, &conv::kCostZ, false};

}  // namespace

#define RE double
#define CPX ComplexDouble
#define KVO_R(op) kvod##op
#define KVO_C(op) kvoz##op
#define KVO_RC(op) kvodz##op
#define KVO_CR(op) kvozd##op
#include "adaptive/convmembers.inc"
