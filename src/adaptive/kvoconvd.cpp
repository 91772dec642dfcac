// Convolution of double and complex double data and their mixed pairs (module kvoconvd).
#include "adaptive/convframe.h"
#include "kvo.h"

namespace {

constexpr const char* kModule = "kvoconvd";
namespace conv = kvo::conv;

// Thresholds {lower, upper, middle index, T at the first, middle and last index}.
constexpr conv::Rules kRulesR{
    {5, 109, 57, 44034, 581, 109}, &conv::kCostD, &conv::kCostD, &conv::kCostD, true};
constexpr conv::Rules kRulesC{
    {3, 60, 31, 12801, 219, 61}, &conv::kCostZ, &conv::kCostZ, &conv::kCostZ, false};
constexpr conv::Rules kRulesRC{
    {3, 111, 57, 17759, 267, 111}, &conv::kCostD, &conv::kCostZ, &conv::kCostZ, true};
constexpr conv::Rules kRulesCR{
    {3, 107, 55, 16482, 291, 108}, &conv::kCostZ, &conv::kCostD, &conv::kCostZ, false};

}  // namespace

#define RE double
#define CPX ComplexDouble
#define KVO_R(op) kvod##op
#define KVO_C(op) kvoz##op
#define KVO_RC(op) kvodz##op
#define KVO_CR(op) kvozd##op
#include "adaptive/convmembers.inc"
