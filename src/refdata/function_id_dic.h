// The life of the function ID dictionary (kdp/refdata/function_id_dic.h): the module singleton
// g_FunctionIDDic, made by GetInstance and freed at package shut-down. Main thread only.
#pragma once

#include "kdp/refdata/function_id_dic.h"

namespace kdp {

// Frees g_FunctionIDDic if it exists; a later GetInstance loads the document again.
void FreeFunctionIDDic();

}  // namespace kdp
