'use strict'

const { InstanceBase, runEntrypoint } = require('@companion-module/base')
const UpgradeScripts = require('./upgrades')
const { Controller } = require('./controller')
const { configFields } = require('./definitions')

// Companion's side of the module: everything it does is in the controller, which calls back into
// this instance's own InstanceBase methods.
class PodiumWatchInstance extends InstanceBase {
	async init(config) {
		this.controller = new Controller(this)
		this.controller.start(config)
	}

	// Also called when the connection's label changes, which the presets' variables name.
	async configUpdated(config) {
		this.controller.start(config)
	}

	async destroy() {
		this.controller?.stop()
	}

	getConfigFields() {
		return configFields()
	}
}

runEntrypoint(PodiumWatchInstance, UpgradeScripts)
