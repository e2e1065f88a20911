#pragma once
// A header of a library the planted one does not link.
