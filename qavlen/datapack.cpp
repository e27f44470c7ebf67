#include "datapack.h"

Data_pack::~Data_pack() = default;

void Clf_dp(void* pack) { delete static_cast<Data_pack*>(pack); }
