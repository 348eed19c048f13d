'use strict'

const { ControlLink, STATUS } = require('./link')
const { variableDefinitions, variableValues } = require('./state')
const { actionDefinitions, feedbackDefinitions, presetDefinitions, readConfig } = require('./definitions')

// Ties one program's control link to a host shaped like Companion's InstanceBase (the methods it
// calls are InstanceBase's own), so that the module's whole behaviour runs without Companion.
class Controller {
	#link = null
	#values = {}
	#messages = null

	// `linkOptions` go to the link (back-off, timeouts).
	constructor(host, linkOptions = {}) {
		this.host = host
		this.linkOptions = linkOptions
	}

	get state() {
		return this.#link?.state ?? null
	}

	get link() {
		return this.#link
	}

	// (Re)starts with new settings; the old connection, if any, is closed first.
	start(config) {
		this.stop()
		this.#values = {}
		this.#messages = null
		this.host.setFeedbackDefinitions(feedbackDefinitions(this))
		this.host.setVariableDefinitions(variableDefinitions())
		this.host.setActionDefinitions(actionDefinitions(this))
		this.host.setPresetDefinitions(presetDefinitions(this.host.label))
		const { settings, problem } = readConfig(config)
		if (problem) {
			this.host.updateStatus(STATUS.badConfig, problem)
			return
		}
		const link = new ControlLink({ ...settings, ...this.linkOptions })
		link.on('status', (status, message) => {
			this.host.updateStatus(status, message)
			if (status !== STATUS.ok && message) this.host.log('warn', `Podium Watch at ${settings.host}:${settings.port}: ${message}`)
		})
		link.on('log', (level, message) => this.host.log(level, message))
		link.on('state', (state) => this.#follow(state))
		this.#link = link
		link.start()
	}

	stop() {
		this.#link?.removeAllListeners()
		this.#link?.stop()
		this.#link = null
	}

	// Carries out one command; an answer other than 204 goes to the log with its reason.
	async run(command, value) {
		if (!this.#link) {
			this.host.log('warn', `${command}: not configured`)
			return { status: 0, reason: 'not configured' }
		}
		const answer = await this.#link.send(command, value)
		if (answer.status !== 204)
			this.host.log('warn', `${command} ${value === undefined ? '' : JSON.stringify(value) + ' '}refused (${answer.status}): ${answer.reason}`)
		return answer
	}

	// Only the values that changed go to Companion: the state comes at least once a second.
	#follow(state) {
		if (state) {
			const values = variableValues(state)
			const changed = Object.fromEntries(Object.entries(values).filter(([id, value]) => this.#values[id] !== value))
			if (Object.keys(changed).length > 0) this.host.setVariableValues(changed)
			this.#values = values
			const messages = JSON.stringify(state.messages ?? [])
			if (messages !== this.#messages) {
				this.#messages = messages
				this.host.setActionDefinitions(actionDefinitions(this, state.messages ?? []))
			}
		}
		this.host.checkFeedbacks()
	}
}

module.exports = { Controller }
