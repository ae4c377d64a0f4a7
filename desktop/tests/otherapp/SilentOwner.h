#pragma once

// Takes PRIMARY from a second X connection of this process and never answers
// a request for it.
void takePrimaryAndNeverAnswer();
