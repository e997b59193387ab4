// Assembly loading.
