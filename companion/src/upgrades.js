'use strict'

// Upgrade scripts for buttons saved with an older version of this module: none yet, as the
// first version's actions, options and feedbacks are all still as they were.
module.exports = []
