// The deployment's right catalogue: the data right each numbered terminal command needs. The names follow
// the entitlement system's scheme (a family prefix, then a market or product): EQ_ equities, IDX_ indexes,
// CM_ commodities and futures, BD_ bonds and rates, FX_ foreign exchange, FD_ funds, OP_ options; "_QM_"
// marks quote and market data. The United States quote right serves two commands (1012, 1013), and so does
// the Hong Kong precious metals right (1046, 1047).
#include <array>

#include "refdata/permission.h"

namespace kdp {
namespace {

constexpr std::array<TCommandRight, 94> kCatalog{{
    {1001, "EQ_QM_SH"},        {1002, "EQ_QM_SZ"},        {1003, "EQ_QM_SH_L2"},     {1004, "EQ_QM_SZ_L2"},
    {1005, "EQ_QM_KCB"},       {1006, "EQ_QM_CYB"},       {1007, "EQ_QM_BJ"},        {1008, "EQ_QM_NEEQ"},
    {1009, "EQ_QM_HK"},        {1010, "EQ_QM_HK_L2"},     {1011, "EQ_QM_HK_BROKER"}, {1012, "EQ_QM_US"},
    {1013, "EQ_QM_US"},        {1014, "EQ_QM_US_L2"},     {1015, "EQ_QM_TW"},        {1016, "EQ_QM_JP"},
    {1017, "EQ_QM_UK"},        {1018, "EQ_QM_DE"},        {1019, "EQ_QM_SG"},        {1020, "EQ_QM_ADR"},
    {1021, "IDX_QM_SSE"},      {1022, "IDX_QM_SZSE"},     {1023, "IDX_QM_CSI"},      {1024, "IDX_QM_CNI"},
    {1025, "IDX_QM_HSI"},      {1026, "IDX_QM_SP"},       {1027, "IDX_QM_DJ"},       {1028, "IDX_QM_NASDAQ"},
    {1029, "IDX_QM_FTSE"},     {1030, "IDX_QM_GLOBAL"},   {1031, "CM_QM_CFFEX"},     {1032, "CM_QM_SHFE"},
    {1033, "CM_QM_DCE"},       {1034, "CM_QM_CZCE"},      {1035, "CM_QM_INE"},       {1036, "CM_QM_GFEX"},
    {1037, "CM_QM_SGE"},       {1038, "CM_QM_LME"},       {1039, "CM_QM_CME"},       {1040, "CM_QM_CBOT"},
    {1041, "CM_QM_COMEX"},     {1042, "CM_QM_NYMEX"},     {1043, "CM_QM_ICE"},       {1044, "CM_QM_SGX"},
    {1045, "CM_QM_TOCOM"},     {1046, "CM_QM_HKPRS"},     {1047, "CM_QM_HKPRS"},     {1048, "CM_QM_CFFEX_L2"},
    {1049, "CM_QM_SHFE_L2"},   {1050, "CM_QM_OPTION"},    {1051, "BD_QM_SH"},        {1052, "BD_QM_SZ"},
    {1053, "BD_QM_IB"},        {1054, "BD_QM_IB_DEAL"},   {1055, "BD_QM_IB_BROKER"}, {1056, "BD_QM_CB"},
    {1057, "BD_QM_REPO"},      {1058, "BD_QM_TBF"},       {1059, "BD_QM_YIELD"},     {1060, "BD_QM_VALUATION"},
    {1061, "BD_QM_CHINABOND"}, {1062, "BD_QM_ABS"},       {1063, "BD_QM_CREDIT"},    {1064, "BD_QM_OFFSHORE"},
    {1065, "BD_QM_RATE"},      {1066, "BD_QM_SHIBOR"},    {1067, "FX_QM_CFETS"},     {1068, "FX_QM_SPOT"},
    {1069, "FX_QM_FORWARD"},   {1070, "FX_QM_SWAP"},      {1071, "FX_QM_CNH"},       {1072, "FX_QM_CROSS"},
    {1073, "FX_QM_FIXING"},    {1074, "FX_QM_OPTION"},    {1075, "FD_QM_ETF"},       {1076, "FD_QM_LOF"},
    {1077, "FD_QM_OF"},        {1078, "FD_QM_MMF"},       {1079, "FD_QM_REITS"},     {1080, "FD_QM_NAV"},
    {1081, "FD_QM_QDII"},      {1082, "FD_QM_RATING"},    {1083, "OP_QM_SSE"},       {1084, "OP_QM_SZSE"},
    {1085, "OP_QM_CFFEX"},     {1086, "OP_QM_COMMODITY"}, {1087, "EQ_QM_LHB"},       {1088, "EQ_QM_BLOCKTRADE"},
    {1089, "EQ_QM_MARGIN"},    {1090, "EQ_QM_CONNECT"},   {1091, "EQ_QM_FUNDFLOW"},  {1092, "IDX_QM_SECTOR"},
    {1093, "CM_QM_WAREHOUSE"}, {1094, "BD_QM_ISSUE"},
}};

}  // namespace

std::span<const TCommandRight> CommandRightCatalog() { return kCatalog; }

}  // namespace kdp
