#pragma once

// Takes PRIMARY from a second X connection of this process and never answers
// a request for it.
void takePrimaryAndNeverAnswer();

// How many requests that owner got (and left unanswered) since last asked.
int unansweredRequests();
