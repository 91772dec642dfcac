// Direct-method thresholds of the convolution members, T[S] for S = lower .. upper - 1: the longer
// operand's length from which a transform method is cheaper on the measured machine (a 2-core
// AVX-512 x86-64, timed with bench/conv_tables.cpp; kNever: the direct sum is always cheaper at
// that S). They come from the direct sums' measured time per product against the transform cost
// model of convframe.h with its measured F and G.
#pragma once

namespace kvo::conv::tables {

constexpr int kNever = 0x7fffffff;
constexpr int kS[] = {
    kNever, kNever, kNever, kNever, kNever, kNever, kNever, kNever, kNever, kNever, 14590, 5024,
    2680,   2958,   1675,   1971,   1184,   1136,   1092,   1052,   1013,   978,    993,   1351,
    1308,   1268,   1229,   1193,   1185,   1217,   1249,   1281,   1313,   1345,   1377,  1409,
    1413,   1473,   1505,   766,    749,    1262,   196,    870,    851,    426,    417,   327,
    629,    58,     59,     60,     61,     62,     63,     64,     129,    125,    121,   118,
    114,    110,    107,    103,    100,    97,     93,     90,     87,     84,     81,    80,
    81,     82,     83,     84,     85,     86,     87,     88,     89,     90,     91,    92,
    93,     94,     95,     96,     97,     98,     99,     100,    101,    102,    103,   104,
    105,    106,    107,    108,    109,    110};  // S from 9
constexpr int kC[] = {kNever, kNever, kNever, kNever, kNever, kNever, kNever, 1692, 1050,
                      499,    234,    267,    171,    159,    36,     32,     29,   58,
                      23,     24,     25,     26,     27,     28,     29,     30,   31,
                      32,     33,     34,     35,     36,     37,     38,     39,   40,
                      41,     42,     43,     44,     45,     46,     47,     48};  // S from 5
constexpr int kSC[] = {kNever, kNever, 3210, 1482, 798, 562, 517, 478, 481, 595, 558, 577, 609, 641,
                       673,    566,    364,  96,   91,  195, 155, 147, 29,  30,  31,  32,  55,  51,
                       48,     45,     42,   39,   39,  40,  41,  42,  43,  44,  45,  46,  47,  48,
                       49,     50,     51,   52,   53,  54,  55,  56,  57,  58,  59,  60,  61,  62,
                       63,     64,     65,   66,   67,  68,  69,  70,  71,  72,  73,  74,  75,  76,
                       77,     78,     79,   80,   81,  82,  83,  84,  85,  86,  87,  88,  89,  90,
                       91,     92,     93,   94,   95,  96,  97,  98};  // S from 7
constexpr int kCS[] = {
    kNever, kNever, kNever, kNever, kNever, kNever, kNever, kNever, kNever, kNever, kNever, kNever,
    kNever, kNever, kNever, kNever, kNever, kNever, kNever, kNever, kNever, kNever, kNever, kNever,
    kNever, kNever, kNever, kNever, 360638, 10081,  4485,   1676,   1793,   606,    1160,   1281,
    77,     74,     1045,   175,    169,    164,    158,    153,    148,    50,     51,     52,
    53,     54,     55,     56,     57,     58,     59,     60,     61,     62,     63,     64,
    84,     81,     77,     74,     71,     70,     71,     72,     73,     74,     75,     76,
    77,     78,     79,     80,     81,     82,     83,     84,     85,     86,     87,     88,
    89,     90,     91,     92,     93,     94,     95,     96,     97,     98};  // S from 5
constexpr int kD[] = {
    kNever, kNever, kNever, kNever, kNever, kNever, kNever, kNever, kNever, kNever, kNever, 16901,
    4994,   2242,   2512,   1272,   1209,   1490,   1101,   1053,   1009,   968,    930,    897,
    929,    961,    993,    1199,   1161,   1125,   1121,   1153,   1185,   1217,   1195,   1281,
    1313,   927,    1076,   881,    530,    355,    188,    182,    176,    171,    166,    52,
    53,     54,     55,     56,     57,     58,     59,     60,     61,     62,     63,     64,
    105,    102,    98,     95,     91,     88,     85,     82,     79,     76,     75,     76,
    77,     78,     79,     80,     81,     82,     83,     84,     85,     86,     87,     88,
    89,     90,     91,     92,     93,     94,     95,     96,     97,     98,     99,     100,
    101,    102,    103,    104,    105,    106,    107,    108};  // S from 5
constexpr int kZ[] = {kNever, kNever, kNever, kNever, kNever, kNever, kNever, kNever, 1731, 651,
                      488,    110,    170,    79,     146,    32,     28,     25,     22,   22,
                      23,     24,     25,     26,     27,     28,     29,     30,     31,   32,
                      33,     34,     35,     36,     37,     38,     39,     40,     41,   42,
                      43,     44,     45,     46,     47,     48,     49,     50,     51,   52,
                      53,     54,     55,     56,     57,     58,     59};  // S from 3
constexpr int kDZ[] = {
    kNever, kNever, kNever, 6165, 331, 575, 357, 321, 353, 385, 417, 449, 467, 263, 164, 153,
    34,     30,     27,     55,   23,  24,  25,  26,  27,  28,  29,  30,  31,  32,  33,  34,
    35,     36,     37,     38,   39,  40,  41,  42,  43,  44,  45,  46,  47,  48,  49,  50,
    51,     52,     53,     54,   55,  56,  57,  58,  59,  60,  61,  62,  63,  64,  65,  66,
    67,     68,     69,     70,   71,  72,  73,  74,  75,  76,  77,  78,  79,  80,  81,  82,
    83,     84,     85,     86,   87,  88,  89,  90,  91,  92,  93,  94,  95,  96,  97,  98,
    99,     100,    101,    102,  103, 104, 105, 106, 107, 108, 109, 110};  // S from 3
constexpr int kZD[] = {
    kNever, kNever, kNever, kNever, kNever, kNever, kNever, kNever, kNever, kNever, kNever, kNever,
    kNever, kNever, kNever, kNever, kNever, kNever, kNever, kNever, kNever, kNever, kNever, 6624,
    3976,   1306,   1635,   837,    719,    32,     385,    545,    359,    69,     66,     62,
    58,     55,     52,     49,     110,    44,     45,     46,     47,     48,     49,     50,
    51,     52,     53,     54,     55,     56,     57,     58,     59,     60,     61,     62,
    63,     64,     65,     66,     67,     68,     69,     70,     71,     72,     73,     74,
    75,     76,     77,     78,     79,     80,     81,     82,     83,     84,     85,     86,
    87,     88,     89,     90,     91,     92,     93,     94,     95,     96,     97,     98,
    99,     100,    101,    102,    103,    104,    105,    106};  // S from 3

}  // namespace kvo::conv::tables
