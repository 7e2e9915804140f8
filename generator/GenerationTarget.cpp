#include "GenerationTarget.h"

TProgressSink::~TProgressSink() = default;
