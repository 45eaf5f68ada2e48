#pragma once

#include <memory>

class CFanBase;

// The device object for a model type: 0 the 100 series (CFan), 1 the plus model (CFan_70_PC).
std::unique_ptr<CFanBase> createFan(int modelType);
