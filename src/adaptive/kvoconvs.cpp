// Convolution of float and complex float data and their mixed pairs (module kvoconvs).
#include "adaptive/convframe.h"
#include "kvo.h"

namespace {

constexpr const char* kModule = "kvoconvs";
namespace conv = kvo::conv;

// Thresholds {lower, upper, middle index, T at the first, middle and last index}.
constexpr conv::Rules kRulesR{
    {9, 111, 60, 53243, 611, 111}, &conv::kCostS, &conv::kCostS, &conv::kCostS, true};
constexpr conv::Rules kRulesC{
    {5, 49, 27, 31705, 209, 50}, &conv::kCostC, &conv::kCostC, &conv::kCostC, false};
constexpr conv::Rules kRulesRC{
    {7, 99, 53, 36388, 174, 99}, &conv::kCostS, &conv::kCostC, &conv::kCostC, true};
constexpr conv::Rules kRulesCR{
    {5, 99, 52, 61684, 181, 102}, &conv::kCostC, &conv::kCostS, &conv::kCostC, false};

}  // namespace

#define RE float
#define CPX ComplexFloat
#define KVO_R(op) kvos##op
#define KVO_C(op) kvoc##op
#define KVO_RC(op) kvosc##op
#define KVO_CR(op) kvocs##op
#include "adaptive/convmembers.inc"
