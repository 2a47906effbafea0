#pragma once

#include <functional>

// Runs `attempt` with the first, second, ... nothrow allocation refused until a run meets no
// refusal, expecting each run to report failure exactly when its refusal happened. The
// program's own code allocates with new (std::nothrow), so this reaches every allocation whose
// failure it must survive. Returns the number of runs that had a refusal, or -1 if that never
// ended.
int ForEachFailingAllocation(const std::function<bool()>& attempt);
