#include "ServiceTransport.h"

ServiceTransport::~ServiceTransport() = default;
