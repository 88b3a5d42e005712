// Window positions, sizes, visibility and deferred-position batches. Internal
// to platform/.
#pragma once

// Abandons every open deferred-position batch.
void forget_deferred_batches();
